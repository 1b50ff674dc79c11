#pragma once

#include "HopRecord.h"
#include "PathReading.h"

#include <cstdint>
#include <vector>

// A hop whose responder changed: `after` answered it, new to it, where
// `before` had answered until then.
struct RouteChange {
    int hop = 0;
    IpAddress before;
    IpAddress after;
    std::int64_t atMs = 0; // wall clock, milliseconds since 1970 (UTC)
};

// The path as a round left it, for whoever shows it: its hops up to the
// traced host's (or the farthest probed) and what they say when read.
struct PathSnapshot {
    IpAddress target;
    int round = 0;
    int destinationHop = 0;      // 0 while the host has not answered
    std::vector<HopRecord> hops; // index 0 is hop 1
    PathReading reading;

    // The snapshot of `hops` 1 .. `lastHop`.
    static PathSnapshot of(const IpAddress& target, int round, int destinationHop, const std::vector<HopRecord>& hops,
                           int lastHop);
};
