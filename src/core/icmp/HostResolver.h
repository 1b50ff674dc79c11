#pragma once

#include <QByteArray>

#include <cstdint>

// The answer of one name lookup: error 0 and the first IPv4 address, or a
// sockets error code (11001 unknown host, 11002 try again, 11003 no
// recovery, 11004 no address, 10055 no resources).
struct LookupAnswer {
    std::uint16_t error = 0;
    std::uint32_t address = 0; // network byte order
};

// Blocking host-name resolution: the seam for the system resolver.
class IHostResolver {
public:
    virtual ~IHostResolver() = default;
    virtual LookupAnswer lookup(const QByteArray& name) = 0;
};
