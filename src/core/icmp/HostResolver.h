#pragma once

#include "IpAddress.h"

#include <QByteArray>

#include <cstdint>

// The answer of one name lookup: error 0 and the address chosen, or a
// sockets error code (11001 unknown host, 11002 try again, 11003 no
// recovery, 11004 no address, 10055 no resources).
struct LookupAnswer {
    std::uint16_t error = 0;
    IpAddress address;
};

// Blocking host-name resolution: the seam for the system resolver. A name
// with IPv4 addresses stands for the first of them, unless `preferIPv6`
// and it has an IPv6 one too; a name with IPv6 addresses only for the
// first of those.
class IHostResolver {
public:
    virtual ~IHostResolver() = default;
    virtual LookupAnswer lookup(const QByteArray& name, bool preferIPv6) = 0;
};
