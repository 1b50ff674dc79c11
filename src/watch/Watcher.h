#pragma once

#include "WatchArguments.h"
#include "WatchedHost.h"
#include "clock/Stopwatch.h"
#include "clock/SystemClock.h"
#include "history/HistoryShelf.h"
#include "ledger/RouteProbe.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class EchoMux;
namespace metrics {
class MetricsServer;
}

// Every watched host of one watcher process: their settings, the one ICMP
// socket they share, the histories they keep, the metrics endpoint, and
// starting and stopping them.
class Watcher : public QObject {
public:
    using Report = WatchedHost::Report;

    explicit Watcher(Report report, QObject* parent = nullptr);
    ~Watcher() override;

    // Reads and checks every settings file and opens the ICMP socket: all
    // or nothing. On a problem returns false with the message in *error.
    bool prepare(const WatchArguments& arguments, QString* error);
    // Listens for the metrics, if asked to; false with the message in *error.
    bool serveMetrics(const QString& listen, QString* error);
    // Starts every host, spread over the first interval so that the echoes
    // do not all leave at once.
    void start();
    void stop();

    const std::vector<std::unique_ptr<WatchedHost>>& hosts() const { return m_hosts; }
    QByteArray exposition() const;

private:
    std::vector<const metrics::HostMetrics*> metricsOfHosts() const;

    Report m_report;
    SystemClock m_clock;
    SystemStopwatch m_stopwatch;
    NetlinkRouteSource m_routes;
    std::unique_ptr<EchoMux> m_mux;
    HistoryShelf m_history;
    std::vector<std::unique_ptr<WatchedHost>> m_hosts;
    std::unique_ptr<metrics::MetricsServer> m_metrics;
    bool m_stopped = false;
};
