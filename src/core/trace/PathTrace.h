#pragma once

#include "HopRecord.h"
#include "TraceProbe.h"
#include "icmp/AsyncEcho.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Traces the path to one host, round after round: each round sends one
// echo with each hop limit from 1 on, spread over the interval, until the
// host itself answers; once it has, later rounds stop at its hop (and look
// further again when a router answers there instead: the path grew). Each
// hop's probes go over a channel of their own, so that a slow hop holds up
// no other; a probe counts for its hop only by what its own channel says,
// which takes only answers that quote our request.
class PathTrace : public QObject {
    Q_OBJECT
public:
    struct Options {
        int intervalMs = 1000; // one round per interval
        int timeoutMs = 1000;  // kept within the interval
        int maxHops = 30;
        int dataSize = 56;
        int rounds = 0; // this many, then no more; 0: until stopped
    };
    using MakeChannel = std::function<std::unique_ptr<IAsyncEcho>()>;
    using WallClock = std::function<std::int64_t()>;

    class Listener {
    public:
        virtual ~Listener() = default;
        // Each probe once its outcome is known.
        virtual void onTraceProbe(const TraceProbe& probe) = 0;
        // Every probe of `round` is counted.
        virtual void onTraceRound(int round) = 0;
        // A hop answered from an address it had not answered from before.
        virtual void onRouteChange(int /*hop*/, const IpAddress& /*before*/, const IpAddress& /*after*/,
                                   std::int64_t /*atMs*/) {}
    };

    // Milliseconds since 1970 from `wallMs`, the system's clock when unset.
    PathTrace(MakeChannel makeChannel, WallClock wallMs = {}, QObject* parent = nullptr);
    ~PathTrace() override;

    Listener* out = nullptr;

    void start(const IpAddress& target, const Options& options);
    // Cancels the probes out; they count for nothing.
    void stop();
    bool running() const { return m_timer.isActive(); }

    const IpAddress& target() const { return m_target; }
    // Index 0 is hop 1; as many as were probed.
    const std::vector<HopRecord>& hops() const { return m_hops; }
    // The traced host's hop; 0 until it has answered.
    int destinationHop() const { return m_destination; }
    // The last hop to look at: the host's, or the farthest probed.
    int lastHop() const { return m_destination ? m_destination : static_cast<int>(m_hops.size()); }
    int roundsDone() const { return m_roundsDone; }

private:
    struct Hop {
        std::unique_ptr<IAsyncEcho> channel;
        int round = 0; // of the probe out; 0 when none is
        std::int64_t sentMs = 0;
    };

    void beginRound();
    void sendNext();
    void sendOne();
    // The last hop of the round under way.
    int roundLimit() const;
    void finished(int hop, int round, std::int64_t sentMs, const EchoResult& result);
    void roundCounted(int round);

    MakeChannel m_makeChannel;
    WallClock m_wallMs;
    Options m_options;
    IpAddress m_target;
    std::vector<std::uint8_t> m_data;
    std::vector<Hop> m_out;
    std::vector<HopRecord> m_hops;
    QTimer m_timer;    // one round per interval
    QTimer m_spreader; // the round's probes, one after the other
    int m_round = 0;
    int m_nextHop = 0; // of the round, 1 ...; beyond its end when all are sent
    int m_roundHops = 0;
    int m_destination = 0;
    int m_roundsDone = 0;
    // Per round, its probes not yet counted, by round % 4: the time-out is
    // kept within the interval, so at most two rounds are ever out.
    std::array<int, 4> m_outstanding{};
};
