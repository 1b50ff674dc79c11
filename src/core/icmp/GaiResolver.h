#pragma once

#include "HostResolver.h"

#include <span>

// The system resolver (getaddrinfo, both families), with its failures
// mapped to the sockets error codes the rest of the program reports.
class GaiResolver : public IHostResolver {
public:
    LookupAnswer lookup(const QByteArray& name, bool preferIPv6) override;

    // The address a name stands for among `addresses`, in the resolver's
    // order (see IHostResolver); None when there is neither family.
    static IpAddress choose(std::span<const IpAddress> addresses, bool preferIPv6);
};
