#pragma once

#include "HostSettings.h"
#include "engine/MonitorEngine.h"
#include "metrics/HostMetrics.h"

#include <functional>

// One watched host: its engine, fed from its settings file, and its metrics.
// Alerts, a host that cannot be found and a failing log are reported as
// one line each through `report`. It listens to its engine directly rather
// than through Qt connections: a watcher keeps thousands of these.
class WatchedHost final : private MonitorEngineListener {
public:
    using Report = std::function<void(const QString& line)>;

    // `report` is the owner's, shared by all its hosts, and outlives them.
    WatchedHost(const HostSettings& settings, const EngineServices& services, const Report& report);
    ~WatchedHost() override;
    WatchedHost(const WatchedHost&) = delete;
    WatchedHost& operator=(const WatchedHost&) = delete;

    void start();
    // As Stop and then switching logging off would: the open averaging
    // period is written, then the line that logging stopped.
    void stop();

    MonitorEngine& engine() { return m_engine; }
    const metrics::HostMetrics& metrics() const { return m_metrics; }

private:
    void echoSent() override;
    void echoDone(const EchoSample& echo) override;
    void progressChanged(int percent) override;
    void connectionChanged(bool up, const QString& message) override;
    void outageRow(const LedgerRow& row) override;
    void lookupFailed(const QString& host) override;
    void logFailed(const QString& message) override;
    void ledgerFailed(const QString& message) override;
    void failed(const QString& message) override;
    void traceProbe(const TraceProbe& probe) override;
    void reportProblem(const QString& message);

    // The engine last, so that it goes first: what it still tells while it
    // ends finds the rest whole.
    const Report& m_report;
    metrics::HostMetrics m_metrics;
    MonitorEngine m_engine;
};
