#include "PathWatch.h"

PathWatch::PathWatch(PathTrace::MakeChannel makeChannel, PathTrace::WallClock wallMs)
    : m_trace(std::move(makeChannel), std::move(wallMs)) {
    m_trace.out = this;
}

PathWatch::~PathWatch() = default;

void PathWatch::follow(const IpAddress& target, const PathTrace::Options& options) {
    if (!target.valid() || (m_trace.running() && m_trace.target() == target))
        return;
    m_rounds = {};
    m_trace.start(target, options);
}

void PathWatch::stop() {
    m_trace.stop();
}

PathWatch::Round& PathWatch::roundOf(int number) {
    Round& round = m_rounds[static_cast<std::size_t>(number) % m_rounds.size()];
    if (round.number != number)
        round = Round{number, 0, {}, false};
    return round;
}

void PathWatch::onTraceProbe(const TraceProbe& probe) {
    Round& round = roundOf(probe.round);
    if (probe.outcome == TraceProbe::Outcome::Reached)
        round.reached = true;
    else if (probe.outcome != TraceProbe::Outcome::Lost && probe.from.valid() && probe.hop > round.furthest) {
        round.furthest = probe.hop;
        round.address = probe.from;
    }
    if (out)
        out->onTraceProbe(probe);
}

void PathWatch::onTraceRound(int number) {
    const Round round = roundOf(number);
    if (!out)
        return;
    if (!round.reached)
        out->onPathEnds(round.address, round.furthest);
    if (out->wantsPath())
        out->onPathRound(
            PathSnapshot::of(m_trace.target(), number, m_trace.destinationHop(), m_trace.hops(), m_trace.lastHop()));
}

void PathWatch::onRouteChange(int hop, const IpAddress& before, const IpAddress& after, std::int64_t atMs) {
    if (out)
        out->onRouteChange({hop, before, after, atMs});
}
