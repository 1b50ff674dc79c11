#pragma once

#include "EchoReply.h"
#include "IpAddress.h"

#include <cstdint>
#include <span>

// One echo request as the requester hands it to the network.
struct EchoRequest {
    IpAddress target;
    std::span<const std::uint8_t> data;
    std::uint8_t ttl = 64;  // the hop limit, for IPv6
    std::uint8_t flags = 0; // IP flags byte; 2 = don't fragment
    int timeoutMs = 4000;   // always > 0

    EchoRequest() = default;
    EchoRequest(const IpAddress& to, std::span<const std::uint8_t> payload, std::uint8_t hops = 64,
                std::uint8_t ipFlags = 0, int waitMs = 4000)
        : target(to), data(payload), ttl(hops), flags(ipFlags), timeoutMs(waitMs) {}
    // An IPv4 target in network byte order.
    EchoRequest(std::uint32_t to, std::span<const std::uint8_t> payload, std::uint8_t hops = 64,
                std::uint8_t ipFlags = 0, int waitMs = 4000)
        : EchoRequest(IpAddress::fromV4(to), payload, hops, ipFlags, waitMs) {}
};

// What became of it: the number of replies (0 or 1), the status code and the
// reply record (zero when nothing came back; its Address is 0 for IPv6).
struct EchoResult {
    int replies = 0;
    std::uint32_t status = 0;
    TIcmpEchoReply reply;
    // The round trip in nanoseconds, from the kernel's receive stamp where
    // there is one; -1 when nothing came back.
    std::int64_t roundTripNanos = -1;
    // Who sent the reply or the ICMP error; None when nothing came back.
    IpAddress from{};
};

// The seam between the requester and the network: sends one echo and waits
// for its reply, an ICMP error about it, or the time-out.
class IEchoTransport {
public:
    virtual ~IEchoTransport() = default;
    virtual EchoResult echo(const EchoRequest& request) = 0;
};
