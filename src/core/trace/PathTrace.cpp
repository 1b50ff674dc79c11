#include "PathTrace.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr std::uint32_t kTimedOut = 11010;
constexpr std::uint32_t kTtlExpired = 11013;
constexpr std::uint32_t kReassemblyExpired = 11014;

TraceProbe::Outcome outcomeOf(const EchoResult& result) {
    if (result.replies > 0)
        return TraceProbe::Outcome::Reached;
    if (result.status == kTtlExpired || result.status == kReassemblyExpired)
        return TraceProbe::Outcome::Hop;
    if (result.status == kTimedOut || !result.from.valid())
        return TraceProbe::Outcome::Lost;
    return TraceProbe::Outcome::Error;
}

} // namespace

PathTrace::PathTrace(MakeChannel makeChannel, WallClock wallMs, QObject* parent)
    : QObject(parent), m_makeChannel(std::move(makeChannel)), m_wallMs(std::move(wallMs)) {
    if (!m_wallMs)
        m_wallMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    connect(&m_timer, &QTimer::timeout, this, &PathTrace::beginRound);
    m_spreader.setSingleShot(true);
    connect(&m_spreader, &QTimer::timeout, this, &PathTrace::sendNext);
}

PathTrace::~PathTrace() {
    stop();
}

void PathTrace::start(const IpAddress& target, const Options& options) {
    stop();
    m_options = options;
    m_options.intervalMs = std::max(options.intervalMs, 100);
    m_options.timeoutMs = std::clamp(options.timeoutMs, 50, m_options.intervalMs);
    m_options.maxHops = std::clamp(options.maxHops, 1, 255);
    m_target = target;
    m_data.assign(static_cast<std::size_t>(std::clamp(options.dataSize, 0, 1400)), 0);
    for (std::size_t i = 0; i < m_data.size(); ++i)
        m_data[i] = static_cast<std::uint8_t>('a' + i % 23);
    m_hops.clear();
    m_out.clear();
    m_out.resize(static_cast<std::size_t>(m_options.maxHops));
    m_destination = 0;
    m_round = 0;
    m_roundsDone = 0;
    std::fill(m_outstanding.begin(), m_outstanding.end(), 0);
    m_timer.start(m_options.intervalMs);
    beginRound();
}

void PathTrace::stop() {
    m_timer.stop();
    m_spreader.stop();
    for (Hop& hop : m_out) {
        if (hop.channel && hop.round)
            hop.channel->cancel();
        hop.round = 0;
    }
}

void PathTrace::beginRound() {
    // A round whose spread fell behind (a busy event loop) sends what it has
    // left now, before the next begins: every round probes every hop.
    m_spreader.stop();
    while (m_round > 0 && m_nextHop <= roundLimit())
        sendOne();
    if (m_options.rounds > 0 && m_round >= m_options.rounds) {
        m_timer.stop();
        return;
    }
    ++m_round;
    m_roundHops = m_destination ? m_destination : m_options.maxHops;
    m_nextHop = 1;
    m_outstanding[static_cast<std::size_t>(m_round) % m_outstanding.size()] = 0;
    sendNext();
}

int PathTrace::roundLimit() const {
    return m_destination ? std::min(m_roundHops, m_destination) : m_roundHops;
}

void PathTrace::sendNext() {
    if (m_nextHop > roundLimit())
        return;
    sendOne();
    if (m_nextHop <= roundLimit())
        m_spreader.start(std::max(1, m_options.intervalMs / std::max(1, m_roundHops)));
}

void PathTrace::sendOne() {
    const int hopNumber = m_nextHop++;
    Hop& hop = m_out[static_cast<std::size_t>(hopNumber - 1)];
    if (!hop.channel)
        hop.channel = m_makeChannel();
    // A probe of the round before still out is lost: starting anew ends it.
    if (hop.round) {
        EchoResult lost;
        lost.status = kTimedOut;
        const int round = hop.round;
        hop.channel->cancel();
        hop.round = 0;
        finished(hopNumber, round, hop.sentMs, lost);
    }
    const int round = m_round;
    const std::int64_t sentMs = m_wallMs();
    hop.round = round;
    hop.sentMs = sentMs;
    ++m_outstanding[static_cast<std::size_t>(round) % m_outstanding.size()];
    EchoRequest request(m_target, m_data, static_cast<std::uint8_t>(hopNumber), 0, m_options.timeoutMs);
    hop.channel->start(request, [this, hopNumber, round, sentMs](const EchoResult& result) {
        m_out[static_cast<std::size_t>(hopNumber - 1)].round = 0;
        finished(hopNumber, round, sentMs, result);
    });
}

void PathTrace::finished(int hopNumber, int round, std::int64_t sentMs, const EchoResult& result) {
    TraceProbe probe;
    probe.target = m_target;
    probe.round = round;
    probe.hop = hopNumber;
    probe.sentMs = sentMs;
    probe.outcome = outcomeOf(result);
    probe.status = result.replies > 0 ? 0 : result.status;
    if (probe.outcome != TraceProbe::Outcome::Lost) {
        probe.from = result.from;
        probe.roundTripMicros =
            result.roundTripNanos >= 0 ? result.roundTripNanos / 1000 : std::int64_t{result.reply.RoundTripTime} * 1000;
    }
    // Beyond the host's own hop a probe tells nothing new.
    const bool counted = !m_destination || hopNumber <= m_destination;
    if (counted) {
        if (probe.outcome == TraceProbe::Outcome::Reached)
            m_destination = hopNumber;
        else if (probe.outcome == TraceProbe::Outcome::Hop && hopNumber == m_destination)
            m_destination = 0; // a router answers where the host did: the path grew
        if (m_hops.size() < static_cast<std::size_t>(hopNumber))
            m_hops.resize(static_cast<std::size_t>(hopNumber));
        HopRecord& record = m_hops[static_cast<std::size_t>(hopNumber - 1)];
        const IpAddress before = record.lastAddress();
        if (record.take(probe) && out)
            out->onRouteChange(hopNumber, before, probe.from, sentMs);
        if (out)
            out->onTraceProbe(probe);
    }
    int& left = m_outstanding[static_cast<std::size_t>(round) % m_outstanding.size()];
    if (left > 0 && --left == 0 && (round != m_round || m_nextHop > roundLimit()))
        roundCounted(round);
}

void PathTrace::roundCounted(int round) {
    m_roundsDone = std::max(m_roundsDone, round);
    if (out)
        out->onTraceRound(round);
}
