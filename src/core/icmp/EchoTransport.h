#pragma once

#include "EchoReply.h"

#include <cstdint>
#include <span>

// One echo request as the requester hands it to the network.
struct EchoRequest {
    std::uint32_t target = 0; // network byte order
    std::span<const std::uint8_t> data;
    std::uint8_t ttl = 64;
    std::uint8_t flags = 0; // IP flags byte; 2 = don't fragment
    int timeoutMs = 4000;   // always > 0
};

// What became of it: the number of replies (0 or 1), the status code and the
// reply record (zero when nothing came back).
struct EchoResult {
    int replies = 0;
    std::uint32_t status = 0;
    TIcmpEchoReply reply;
    // The round trip in nanoseconds, from the kernel's receive stamp where
    // there is one; -1 when nothing came back.
    std::int64_t roundTripNanos = -1;
};

// The seam between the requester and the network: sends one echo and waits
// for its reply, an ICMP error about it, or the time-out.
class IEchoTransport {
public:
    virtual ~IEchoTransport() = default;
    virtual EchoResult echo(const EchoRequest& request) = 0;
};
