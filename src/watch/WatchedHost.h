#pragma once

#include "HostSettings.h"
#include "engine/MonitorEngine.h"
#include "metrics/HostMetrics.h"

#include <QObject>

#include <functional>

// One watched host: its engine, fed from its settings file, and its metrics.
// Alerts, a host that cannot be found and a failing log are reported as
// one line each through `report`.
class WatchedHost : public QObject {
public:
    using Report = std::function<void(const QString& line)>;

    WatchedHost(const HostSettings& settings, const EngineServices& services, Report report, QObject* parent = nullptr);

    void start();
    // As Stop and then switching logging off would: the open averaging
    // period is written, then the line that logging stopped.
    void stop();

    MonitorEngine& engine() { return m_engine; }
    const metrics::HostMetrics& metrics() const { return m_metrics; }
    const HostSettings& settings() const { return m_settings; }

private:
    void reportChange(bool up);

    HostSettings m_settings;
    MonitorEngine m_engine;
    metrics::HostMetrics m_metrics;
    Report m_report;
};
