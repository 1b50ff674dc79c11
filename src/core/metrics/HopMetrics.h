#pragma once

#include "trace/TraceProbe.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace metrics {

inline constexpr std::size_t kHopBucketCount = 15; // as the host's histogram

// What the trace of one host has seen, per hop: the probes sent with its
// hop limit, and per address that answered them (at most four, each
// dropped after an hour without an answer) its answers and round trips.
class HopMetrics {
public:
    static constexpr int MaxResponders = 4;
    static constexpr std::int64_t ForgetAfterMs = 3'600'000;

    struct Responder {
        QString address;
        std::uint64_t replies = 0;
        std::array<std::uint64_t, kHopBucketCount> buckets{}; // not cumulative
        std::uint64_t sumMicros = 0;
        std::int64_t lastSeenMs = 0;
    };
    struct Hop {
        std::uint64_t requests = 0;
        std::vector<Responder> responders;
    };

    void record(const TraceProbe& probe);
    // Index 0 is hop 1.
    const std::vector<Hop>& hops() const { return m_hops; }
    // Hops to the host, as it last answered; 0 before it has.
    int pathHops() const { return m_pathHops; }

private:
    std::vector<Hop> m_hops;
    int m_pathHops = 0;
};

} // namespace metrics
