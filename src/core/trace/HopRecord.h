#pragma once

#include "TraceProbe.h"

#include <array>
#include <cstdint>

// What one hop of a path has shown: the probes sent with its hop limit and,
// for each address that answered them (several where the path balances;
// the four last seen are kept), its answers, its last, best, mean and worst
// round trip and its jitter (RFC 3550: the mean deviation of the difference
// between consecutive round trips, smoothed by 1/16).
class HopRecord {
public:
    static constexpr int MaxResponders = 4;

    struct Responder {
        IpAddress address;
        std::uint64_t answers = 0;
        std::int64_t lastMicros = -1;
        std::int64_t bestMicros = -1;
        std::int64_t worstMicros = -1;
        std::int64_t sumMicros = 0;
        double jitterMicros = 0;
        std::int64_t lastSeenMs = 0;

        double meanMicros() const { return answers ? double(sumMicros) / double(answers) : -1; }
    };

    // A probe sent with this hop's limit, and what became of it. Returns
    // true when an address answered that the hop had not had before while
    // it had others: the route changed here.
    bool take(const TraceProbe& probe);
    // The probes sent, and those that some address answered.
    std::uint64_t sent() const { return m_sent; }
    std::uint64_t answered() const { return m_answered; }
    // The share of probes that no address answered, 0 .. 1; 0 before any.
    double loss() const { return m_sent ? 1.0 - double(m_answered) / double(m_sent) : 0.0; }
    // The addresses, the one that answered most first; `count()` of them.
    int count() const { return m_count; }
    const Responder& responder(int i) const { return m_responders[static_cast<std::size_t>(i)]; }
    // The last address that answered; None before any.
    const IpAddress& lastAddress() const { return m_last; }
    // Drops the addresses not seen since `beforeMs`.
    void forgetSilent(std::int64_t beforeMs);

private:
    std::uint64_t m_sent = 0;
    std::uint64_t m_answered = 0;
    int m_count = 0;
    std::array<Responder, MaxResponders> m_responders{};
    IpAddress m_last;
};
