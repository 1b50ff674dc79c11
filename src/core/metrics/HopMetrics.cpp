#include "HopMetrics.h"

#include "HostMetrics.h"

#include <algorithm>

namespace metrics {

static_assert(kHopBucketCount == kBucketCount);

void HopMetrics::record(const TraceProbe& probe) {
    if (probe.hop < 1 || probe.hop > 255)
        return;
    if (m_hops.size() < static_cast<std::size_t>(probe.hop))
        m_hops.resize(static_cast<std::size_t>(probe.hop));
    Hop& hop = m_hops[static_cast<std::size_t>(probe.hop - 1)];
    ++hop.requests;
    // Addresses silent for an hour leave the exposition.
    std::erase_if(hop.responders, [&](const Responder& r) { return probe.sentMs - r.lastSeenMs > ForgetAfterMs; });
    if (probe.outcome == TraceProbe::Outcome::Reached)
        m_pathHops = probe.hop;
    if (!probe.answered() || !probe.from.valid())
        return;
    const QString address = QString::fromStdString(probe.from.text());
    auto it = std::find_if(hop.responders.begin(), hop.responders.end(),
                           [&](const Responder& r) { return r.address == address; });
    if (it == hop.responders.end()) {
        if (hop.responders.size() >= MaxResponders) {
            // The one silent longest makes room.
            hop.responders.erase(
                std::min_element(hop.responders.begin(), hop.responders.end(),
                                 [](const Responder& a, const Responder& b) { return a.lastSeenMs < b.lastSeenMs; }));
        }
        hop.responders.push_back(Responder{address, 0, {}, 0, 0});
        it = hop.responders.end() - 1;
    }
    const std::int64_t micros = std::max<std::int64_t>(probe.roundTripMicros, 0);
    ++it->buckets[bucketOf(micros)];
    ++it->replies;
    it->sumMicros += static_cast<std::uint64_t>(micros);
    it->lastSeenMs = probe.sentMs;
}

} // namespace metrics
