#pragma once

#include "HostLedger.h"
#include "HostState.h"
#include "LedgerRow.h"
#include "OutageTracker.h"
#include "clock/Stopwatch.h"
#include "echo/EchoSample.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IAsyncEcho;
class IRouteSource;

// The outages of one watched host: the tracker hears of every tick, echo
// and outcome; while echoes are lost, the local side is looked at, at most
// once per interval (the route and its link, and the gateway with an echo
// of its own); and the host's part of the ledger keeps the rows, the outage
// in progress and the watching stamp. Without a stopwatch nothing is kept.
class OutageWatch final : private OutageTracker::Listener, private HostLedger::Listener {
public:
    struct Services {
        IRouteSource* routes = nullptr;
        // A channel for echoes to the gateway; without one only the local
        // side's causes are told.
        std::function<std::unique_ptr<IAsyncEcho>()> makeProbeChannel;
    };
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void onOutageRow(const LedgerRow& row) = 0;
        virtual void onOutageInProgress(const LedgerRow& row) = 0;
        virtual void onOutageCleared() = 0;
        // A file of the ledger could not be written (once until it can).
        virtual void onLedgerFailed(const QString& message) = 0;
    };

    explicit OutageWatch(Services services);
    ~OutageWatch() override;

    // None, or one that outlives the watch.
    Listener* out = nullptr;
    int OutageEchoes = 2;

    void SetTiming(int intervalMs, int timeoutMs);
    // Watching `host` begins, its ledger at `ledgerPath`: a killed run's
    // outage is completed and the time it was not watched becomes a gap.
    void Begin(const QString& host, const QString& address, const QString& ledgerPath, const Moment& now);
    void Tick(const Moment& now);
    // An echo leaves for `host`; the first one to another host (or into
    // another ledger) ends the watch of the one before.
    void Sent(const QString& host, const QString& address, const QString& ledgerPath, const Moment& at);
    // Its outcome; returns whether it counts for the index: not when a gap
    // fell into its wait.
    bool TakeEcho(const EchoSample& echo);
    // Where the path to the host ends now, from a trace.
    void PathEnds(const QString& address, int number) { m_tracker.pathEnds(address, number); }
    // Watching ends, with the note for an outage in progress, and why.
    void Stop(const QString& note, HostState::Watching why, const Moment& now);

private:
    void onTrackedRow(const LedgerRow& row) override;
    void onTrackedOpen(const LedgerRow* open) override;
    void onLedgerFileFailed(const QString& message) override;
    void diagnose(const EchoSample& echo);
    void end(HostState::Watching why, const Moment& now);

    Services m_services;
    OutageTracker m_tracker;
    int m_intervalMs = 1000;
    int m_timeoutMs = 1000;
    std::unique_ptr<HostLedger> m_ledger;
    bool m_active = false; // between Begin and Stop
    std::unique_ptr<IAsyncEcho> m_gatewayProbe;
    std::vector<std::uint8_t> m_probeData;
    std::int64_t m_lastDiagnosisMs = 0;
    bool m_diagnosed = false;
};
