#include "WatchedHost.h"

#include "Exception.h"
#include "clock/Stopwatch.h"
#include "metrics/EngineFeed.h"

#include <QDateTime>

namespace {

QString now() {
    return localNow().toString(Qt::ISODate);
}

EngineServices withLogDirectory(EngineServices services, const HostSettings& settings) {
    services.logDirectory = settings.logDirectory;
    // Nobody to ask and nothing to play: a host that cannot be found is
    // looked up again at each tick.
    services.boxes = nullptr;
    services.sound = nullptr;
    return services;
}

} // namespace

WatchedHost::WatchedHost(const HostSettings& settings, const EngineServices& services, Report report, QObject* parent)
    : QObject(parent), m_settings(settings), m_engine(withLogDirectory(services, settings)),
      m_metrics(settings.host(), QString()), m_report(std::move(report)) {
    m_engine.ApplyProfile(m_settings.profile);
    m_engine.SetInterval(m_settings.profile.Interval);
    m_engine.SetTimeout(m_settings.profile.Timeout);
    metrics::follow(m_engine, m_metrics);
    connect(&m_engine, &MonitorEngine::connectionChanged, this, [this](bool up) { reportChange(up); });
    connect(&m_engine, &MonitorEngine::lookupFailed, this, [this](const QString& host) {
        m_report(QStringLiteral("%1 %2: cannot find host-address; looking it up again at each probe").arg(now(), host));
    });
    connect(&m_engine, &MonitorEngine::logFailed, this, [this](const QString& message) {
        m_report(QStringLiteral("%1 %2: %3").arg(now(), m_engine.Host, message));
    });
    connect(&m_engine, &MonitorEngine::ledgerFailed, this, [this](const QString& message) {
        m_report(QStringLiteral("%1 %2: %3").arg(now(), m_engine.Host, message));
    });
    connect(&m_engine, &MonitorEngine::failed, this, [this](const QString& message) {
        m_report(QStringLiteral("%1 %2: %3").arg(now(), m_engine.Host, message));
    });
}

void WatchedHost::reportChange(bool up) {
    m_report(QStringLiteral("%1 %2 (%3): reliability %4% %5")
                 .arg(now(), m_engine.Host, m_engine.ResolvedIP(),
                      QString::number(m_engine.ReliabilityIndex / 10.0, 'f', 1),
                      up ? QStringLiteral("rises above 70%") : QStringLiteral("falls below 30%")));
}

void WatchedHost::start() {
    m_engine.StartButtonClick();
    // The first tick looks the host up, as leaving the address field does
    // in the window; the echoes follow. A lookup that cannot even start is
    // tried again at the next tick.
    try {
        m_engine.TimerTimer();
    } catch (const Exception& e) {
        m_report(QStringLiteral("%1 %2: %3").arg(now(), m_engine.Host, e.Message()));
    }
}

void WatchedHost::stop() {
    // The program ends: the ledger notes the watch as closed, not stopped.
    m_engine.SetEnding();
    if (m_engine.Running())
        m_engine.StopButtonClick();
    // Stop wrote the open period: switching logging off adds only its line,
    // not a second average over the moment since.
    MonitorOptions options = m_engine.Options();
    options.LogAverages = false;
    m_engine.SetOptions(options);
    m_engine.SetLogging(false);
    m_engine.Shutdown();
}
