#pragma once

#include "trace/TraceProbe.h"

// Probes of a trace made to order, for the trace's and the route window's
// tests.
namespace tracetest {

inline IpAddress address(const char* text) {
    return *IpAddress::parse(text);
}

// A probe of `hop` answered by `from` after `rttMicros`, or lost (`from` null).
inline TraceProbe probe(int hop, const char* from, std::int64_t rttMicros, std::int64_t atMs = 0) {
    TraceProbe p;
    p.hop = hop;
    p.sentMs = atMs;
    p.outcome = from ? TraceProbe::Outcome::Hop : TraceProbe::Outcome::Lost;
    if (from)
        p.from = address(from);
    p.roundTripMicros = from ? rttMicros : -1;
    return p;
}

} // namespace tracetest
