#pragma once

#include "icmp/IpAddress.h"

#include <QString>

#include <functional>

// The names of addresses (reverse lookups), away from the caller's thread:
// the seam for the system resolver. `done` comes later, through the event
// loop of the thread that asked, with the name, or "" when there is none.
class IReverseLookup {
public:
    using Done = std::function<void(const IpAddress& address, const QString& name)>;

    virtual ~IReverseLookup() = default;
    virtual void setDone(Done done) = 0;
    virtual void lookUp(const IpAddress& address) = 0;
};
