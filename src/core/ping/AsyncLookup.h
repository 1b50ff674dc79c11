#pragma once

#include "icmp/IpAddress.h"

#include <QByteArray>

#include <cstdint>
#include <functional>

// Host-name lookups that run away from the user-interface thread. Each
// lookup has an identity (never 0, never reused); its completion is
// delivered later through the event loop of the thread that started it.
class IAsyncLookup {
public:
    using Completion = std::function<void(std::uint64_t id, std::uint16_t error, const IpAddress& address)>;

    virtual ~IAsyncLookup() = default;
    virtual void setCompletion(Completion completion) = 0;
    // Returns the lookup's identity, or 0 with a sockets error code in *error.
    // The address is chosen as IHostResolver says.
    virtual std::uint64_t start(const QByteArray& name, bool preferIPv6, int* error) = 0;
    // Stops the lookup from reporting. Returns false with an error code in *error.
    virtual bool cancel(std::uint64_t id, int* error) = 0;
};
