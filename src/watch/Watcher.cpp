#include "Watcher.h"

#include "StopSignals.h"
#include "history/HistoryFeed.h"
#include "icmp/EchoMux.h"
#include "icmp/GaiResolver.h"
#include "metrics/Exposition.h"
#include "metrics/MetricsServer.h"
#include "ping/TPing.h"
#include "ping/ThreadedLookup.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <QTimer>

#include <cstring>

Watcher::Watcher(Report report, QObject* parent)
    : QObject(parent), m_report(std::move(report)), m_history(m_stopwatch, [this](const QString& message) {
          m_report(QStringLiteral("%1 %2").arg(localNow().toString(Qt::ISODate), message));
      }) {}

Watcher::~Watcher() {
    // The hosts' channels go before their socket.
    m_hosts.clear();
}

bool Watcher::prepare(const WatchArguments& arguments, QString* error) {
    // Dates, times and numbers in the logs as the user's region writes them,
    // as the window writes them.
    const RegionalSettings regional = RegionalSettings::fromLocale(QLocale::system());
    std::vector<HostSettings> all;
    QHash<QString, QString> logOwners;  // canonical log path -> settings file
    QHash<QString, QString> hostOwners; // host as written -> settings file
    QSet<QString> logDirectories;
    for (const QString& file : arguments.settingsFiles) {
        // A stop asked for while many files are read ends the start-up here;
        // the caller sees the signal waiting.
        if (StopSignals::pending()) {
            error->clear();
            return false;
        }
        QString problem;
        auto settings = HostSettings::load(file, arguments.logDirectory, regional.decimalSeparator, &problem);
        if (!settings) {
            *error = QStringLiteral("%1: %2").arg(file, problem);
            return false;
        }
        if (settings->profile.UseLogging) {
            const QString log = settings->canonicalLogPath();
            if (logOwners.contains(log)) {
                *error = QStringLiteral("%1 and %2 both log to %3").arg(logOwners[log], file, log);
                return false;
            }
            logOwners.insert(log, file);
        }
        // The host is the metrics' label: two series with the same labels
        // would be taken for one.
        const QString host = settings->host();
        if (hostOwners.contains(host)) {
            *error = QStringLiteral("%1 and %2 both watch %3").arg(hostOwners[host], file, host);
            return false;
        }
        hostOwners.insert(host, file);
        // Files side by side have one log folder: its text is kept once.
        auto folder = logDirectories.constFind(settings->logDirectory);
        if (folder == logDirectories.cend())
            folder = logDirectories.insert(settings->logDirectory);
        settings->logDirectory = *folder;
        all.push_back(std::move(*settings));
    }

    int socketError = 0;
    m_mux = EchoMux::open(SocketKind::Auto, &socketError);
    if (!m_mux) {
        *error = QStringLiteral("cannot open an ICMP socket (%1): allow ping sockets for this group "
                                "(sysctl net.ipv4.ping_group_range) or give the program CAP_NET_RAW")
                     .arg(QString::fromLocal8Bit(std::strerror(socketError)));
        return false;
    }

    auto resolver = std::make_shared<GaiResolver>();
    EngineServices services;
    services.clock = &m_clock;
    services.regional = regional;
    services.stopwatch = &m_stopwatch;
    services.routes = &m_routes;
    services.makeProbeChannel = [this] { return m_mux->channel(); };
    services.makePing = [this, resolver](QObject* owner) {
        auto icmp = std::make_unique<TICMP>(m_mux->channel(), resolver);
        return new TPing(owner, std::move(icmp), std::make_unique<ThreadedLookup>(resolver));
    };
    for (const HostSettings& settings : all) {
        m_hosts.push_back(std::make_unique<WatchedHost>(settings, services, m_report));
        if (settings.profile.HistoryEnabled)
            history::follow(m_hosts.back()->engine(), m_history, history::optionsOf(settings.profile));
    }
    return true;
}

bool Watcher::serveMetrics(const QString& listen, QString* error) {
    if (listen.isEmpty())
        return true;
    QString problem;
    const auto where = metrics::parseListenAddress(listen, &problem);
    if (!where) {
        *error = QStringLiteral("--metrics %1: %2").arg(listen, problem);
        return false;
    }
    // Many hosts make a text of megabytes: it goes out in pieces, never held
    // whole.
    m_metrics = std::make_unique<metrics::MetricsServer>([this] {
        auto stream = std::make_shared<metrics::ExpositionStream>(metricsOfHosts());
        return metrics::MetricsServer::Body{stream->size(), [stream] { return stream->next(); }};
    });
    if (!m_metrics->listen(*where)) {
        *error = m_metrics->errorString();
        return false;
    }
    return true;
}

std::vector<const metrics::HostMetrics*> Watcher::metricsOfHosts() const {
    std::vector<const metrics::HostMetrics*> all;
    all.reserve(m_hosts.size());
    for (const auto& host : m_hosts)
        all.push_back(&host->metrics());
    return all;
}

QByteArray Watcher::exposition() const {
    return metrics::exposition(metricsOfHosts());
}

void Watcher::start() {
    const auto count = static_cast<qint64>(m_hosts.size());
    for (qint64 i = 0; i < count; ++i) {
        WatchedHost* host = m_hosts[static_cast<std::size_t>(i)].get();
        const qint64 delay = i * host->engine().Interval() / count;
        QTimer::singleShot(static_cast<int>(delay), &host->engine(), [this, host] {
            if (!m_stopped)
                host->start();
        });
    }
}

void Watcher::stop() {
    if (m_stopped)
        return;
    m_stopped = true;
    for (const auto& host : m_hosts)
        host->stop();
    // Every echo kept is committed before the program ends.
    m_history.close();
    m_metrics.reset();
}
