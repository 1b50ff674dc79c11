#pragma once

#include "icmp/IpAddress.h"

#include <cstdint>

// What became of one probe of a trace: an echo to the traced host sent with
// the hop limit `hop`, answered by the host itself, by a router on the way
// whose time-exceeded error quoted our own request, or not at all.
struct TraceProbe {
    enum class Outcome : std::uint8_t {
        Reached, // the traced host answered: it is at this hop or nearer
        Hop,     // a router at this hop said the hop limit ran out
        Lost,    // nothing within the time-out
        Error,   // another ICMP error (unreachable, ...), from `from`
    };

    IpAddress target; // the traced host
    int round = 0;
    int hop = 0;             // the hop limit it was sent with, 1 ...
    std::int64_t sentMs = 0; // wall clock, milliseconds since 1970 (UTC)
    Outcome outcome = Outcome::Lost;
    IpAddress from; // who answered; None when nothing did
    std::int64_t roundTripMicros = -1;
    std::uint32_t status = 0; // the design's status number

    bool answered() const { return outcome == Outcome::Reached || outcome == Outcome::Hop; }
};
