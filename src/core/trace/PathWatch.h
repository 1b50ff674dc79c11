#pragma once

#include "PathSnapshot.h"
#include "PathTrace.h"

#include <array>
#include <memory>

// Traces the path to the host a watch's echoes go to, and tells after each
// round where the path ended when the host itself did not answer: the last
// hop that still did. Each probe is handed on as it is counted.
class PathWatch final : private PathTrace::Listener {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void onTraceProbe(const TraceProbe& probe) = 0;
        // A round in which the host did not answer ended after hop `number`
        // at `address` (None: no hop answered at all, `number` 0).
        virtual void onPathEnds(const IpAddress& address, int number) = 0;
        virtual void onRouteChange(const RouteChange& /*change*/) {}
        // After each round, the path as it stands: asked for only by a
        // listener that shows it (it costs a copy of every hop).
        virtual bool wantsPath() const { return false; }
        virtual void onPathRound(const PathSnapshot& /*path*/) {}
    };

    explicit PathWatch(PathTrace::MakeChannel makeChannel, PathTrace::WallClock wallMs = {});
    ~PathWatch() override;

    Listener* out = nullptr;

    // Traces `target` from now on; the same target again changes nothing
    // while it is traced, a new one begins afresh.
    void follow(const IpAddress& target, const PathTrace::Options& options);
    void stop();
    const PathTrace& trace() const { return m_trace; }

private:
    struct Round {
        int number = 0;
        int furthest = 0;
        IpAddress address;
        bool reached = false;
    };

    void onTraceProbe(const TraceProbe& probe) override;
    void onTraceRound(int round) override;
    void onRouteChange(int hop, const IpAddress& before, const IpAddress& after, std::int64_t atMs) override;
    Round& roundOf(int number);

    PathTrace m_trace;
    std::array<Round, 4> m_rounds{};
};
