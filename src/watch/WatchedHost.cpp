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

WatchedHost::WatchedHost(const HostSettings& settings, const EngineServices& services, const Report& report)
    : m_report(report), m_metrics(settings.host(), QString()), m_engine(withLogDirectory(services, settings)) {
    m_engine.ApplyProfile(settings.profile);
    m_engine.SetInterval(settings.profile.Interval);
    m_engine.SetTimeout(settings.profile.Timeout);
    metrics::feed::begin(m_engine, m_metrics);
    m_engine.SetListener(this);
}

WatchedHost::~WatchedHost() {
    m_engine.SetListener(nullptr);
}

void WatchedHost::echoSent() {
    metrics::feed::echoSent(m_engine, m_metrics);
}

void WatchedHost::echoDone(const EchoSample& echo) {
    metrics::feed::echoDone(m_metrics, echo);
}

void WatchedHost::progressChanged(int) {
    metrics::feed::progressChanged(m_engine, m_metrics);
}

void WatchedHost::outageRow(const LedgerRow& row) {
    metrics::feed::outageRow(m_metrics, row);
}

void WatchedHost::connectionChanged(bool up, const QString&) {
    metrics::feed::connectionChanged(m_metrics, up);
    m_report(QStringLiteral("%1 %2 (%3): reliability %4% %5")
                 .arg(now(), m_engine.Host, m_engine.ResolvedIP(),
                      QString::number(m_engine.ReliabilityIndex / 10.0, 'f', 1),
                      up ? QStringLiteral("rises above 70%") : QStringLiteral("falls below 30%")));
}

void WatchedHost::lookupFailed(const QString& host) {
    m_report(QStringLiteral("%1 %2: cannot find host-address; looking it up again at each probe").arg(now(), host));
}

void WatchedHost::logFailed(const QString& message) {
    reportProblem(message);
}

void WatchedHost::ledgerFailed(const QString& message) {
    reportProblem(message);
}

void WatchedHost::failed(const QString& message) {
    reportProblem(message);
}

void WatchedHost::traceProbe(const TraceProbe& probe) {
    metrics::feed::traceProbe(m_metrics, probe);
}

void WatchedHost::reportProblem(const QString& message) {
    m_report(QStringLiteral("%1 %2: %3").arg(now(), m_engine.Host, message));
}

void WatchedHost::start() {
    m_engine.StartButtonClick();
    // The first tick looks the host up, as leaving the address field does
    // in the window; the echoes follow. A lookup that cannot even start is
    // tried again at the next tick.
    try {
        m_engine.TimerTimer();
    } catch (const Exception& e) {
        reportProblem(e.Message());
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
