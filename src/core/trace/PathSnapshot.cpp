#include "PathSnapshot.h"

#include <algorithm>

PathSnapshot PathSnapshot::of(const IpAddress& target, int round, int destinationHop,
                              const std::vector<HopRecord>& hops, int lastHop) {
    PathSnapshot snapshot;
    snapshot.target = target;
    snapshot.round = round;
    snapshot.destinationHop = destinationHop;
    const auto n =
        static_cast<std::ptrdiff_t>(std::min<std::size_t>(static_cast<std::size_t>(std::max(lastHop, 0)), hops.size()));
    snapshot.hops.assign(hops.begin(), hops.begin() + n);
    snapshot.reading = readPath(snapshot.hops, static_cast<int>(n));
    return snapshot;
}
