// The engine's life: its components and the settings it takes and gives.

#include "MonitorEngine.h"

#include "Exception.h"
#include "TTimer.h"
#include "clock/DateTime.h"
#include "icmp/AddressText.h"
#include "icmp/AsyncEcho.h"
#include "icmp/TICMP.h"
#include "ledger/LedgerFile.h"
#include "ping/TPing.h"
#include "text/SharedText.h"

#include <QMetaMethod>

#include <algorithm>

MonitorEngine::MonitorEngine(const EngineServices& services, QObject* parent)
    : QObject(parent), m_services(services), m_alerts(*services.clock, m_options, m_services.regional, services.sound),
      m_log(*services.clock, m_options, m_services.regional, services.logDirectory),
      m_outages({services.routes, services.makeProbeChannel}) {
    Ping = m_services.makePing ? m_services.makePing(this) : new TPing(this);
    // Needed only here: what it holds need not live on in every engine.
    // The channel maker stays, for the path's trace.
    m_services.makePing = nullptr;
    Ping->SetSize(56);
    Ping->SetTimeout(1000);
    Ping->SetTTL(64);
    Ping->SetFlags(0);
    Ping->OnEchoReply = [this](QObject* sender, TICMP* icmp, int error) { PingEchoReply(sender, icmp, error); };
    Ping->OnDnsLookupDone = [this](QObject* sender, std::uint16_t error) { PingDnsLookupDone(sender, error); };
    Ping->OnEchoRequest = [this](QObject*, TICMP*) {
        m_echoHost = m_watchedHost;
        m_sentAt = now();
        if (m_services.stopwatch)
            m_outages.Sent(m_watchedHost, Ping->ResolvedIP(), ledgerPath(), m_sentAt);
        followPath();
        emit echoSent();
        if (m_listener)
            m_listener->echoSent();
    };
    Ping->OnEchoResult = [this](QObject*, const EchoResult& result) { m_result = result; };
    connectParts();
    ConnectionUp = true;
    AlignToDay();
    PeriodStart = PeriodEnd - PeriodLength;
}

void MonitorEngine::timerEvent(QTimerEvent* event) {
    if (Timer->owns(event))
        guarded(&MonitorEngine::TimerTimer);
    else if (tmRepeatFail->owns(event))
        guarded(&MonitorEngine::tmRepeatFailTimer);
    else
        QObject::timerEvent(event);
}

void MonitorEngine::connectParts() {
    m_chart.out = this;
    m_alerts.out = this;
    m_log.out = this;
    m_outages.out = this;
}

void MonitorEngine::onChartWaiting(int column, int waitTicks) {
    emit chartWaitingStep(column, waitTicks);
}

void MonitorEngine::onChartReply(int column, int waitTicks, bool answered, std::uint32_t roundTripMs, int timeoutMs) {
    emit chartReplyStep(column, waitTicks, answered, roundTripMs, timeoutMs);
}

void MonitorEngine::onAlertProgress(int percent) {
    emit progressChanged(percent);
    if (m_listener)
        m_listener->progressChanged(percent);
}

void MonitorEngine::onAlertCaption(const QString& caption) {
    emit captionChanged(caption);
}

void MonitorEngine::onAlertStatus(const QString& message) {
    emit statusMessage(message);
}

void MonitorEngine::onAlertChanged(bool up, const QString& message) {
    emit connectionChanged(up, message);
    if (m_listener)
        m_listener->connectionChanged(up, message);
}

void MonitorEngine::onAlertCrossed(const AlertCrossing& crossing) {
    emit alertCrossed(crossing);
}

void MonitorEngine::onAlertWarning(const QString& message, int repeatMs) {
    tmRepeatFail->SetInterval(repeatMs);
    tmRepeatFail->SetEnabled(true);
    emit warningRaised(message);
}

void MonitorEngine::onAlertLog(const QString& line) {
    m_log.WriteLog(line);
}

void MonitorEngine::onLogStatus(const QString& message) {
    emit statusMessage(message);
}

void MonitorEngine::onLogFailed(const QString& message) {
    emit logFailed(message);
    if (m_listener)
        m_listener->logFailed(message);
}

void MonitorEngine::onOutageRow(const LedgerRow& row) {
    emit outageRow(row);
    if (m_listener)
        m_listener->outageRow(row);
}

void MonitorEngine::onOutageInProgress(const LedgerRow& row) {
    emit outageInProgress(row);
}

void MonitorEngine::onOutageCleared() {
    emit outageCleared();
}

void MonitorEngine::onLedgerFailed(const QString& message) {
    emit statusMessage(message);
    emit ledgerFailed(message);
    if (m_listener)
        m_listener->ledgerFailed(message);
}

void MonitorEngine::followPath() {
    if (!m_options.TraceEnabled || !m_services.makeProbeChannel) {
        if (m_path)
            m_path->stop();
        return;
    }
    if (!m_path) {
        m_path = std::make_unique<PathWatch>(m_services.makeProbeChannel);
        m_path->out = this;
    }
    PathTrace::Options options;
    options.intervalMs = std::max(1000, m_options.TraceIntervalMs > 0 ? m_options.TraceIntervalMs : Interval());
    options.timeoutMs = Timeout();
    m_path->follow(Ping->ResolvedAddress(), options);
}

void MonitorEngine::onTraceProbe(const TraceProbe& probe) {
    emit traceProbe(probe);
    if (m_listener)
        m_listener->traceProbe(probe);
}

void MonitorEngine::onRouteChange(const RouteChange& change) {
    emit routeChanged(change);
    if (m_listener)
        m_listener->routeChanged(change);
}

bool MonitorEngine::wantsPath() const {
    return isSignalConnected(QMetaMethod::fromSignal(&MonitorEngine::pathRound));
}

void MonitorEngine::onPathRound(const PathSnapshot& path) {
    emit pathRound(path);
}

void MonitorEngine::onPathEnds(const IpAddress& address, int number) {
    if (number > 0 && m_services.stopwatch)
        m_outages.PathEnds(QString::fromStdString(address.text()), number);
}

MonitorEngine::~MonitorEngine() {
    // The trace's channels go before the rest.
    m_path.reset();
    // The component may still report a cancelled lookup: let it do so while
    // the engine is whole.
    delete Ping;
    Ping = nullptr;
}

Moment MonitorEngine::now() const {
    if (m_services.stopwatch)
        return m_services.stopwatch->now();
    Moment at;
    const QDateTime local = datetime::toQDateTime(Clock().Now());
    at.wall = local.toOffsetFromUtc(local.offsetFromUtc());
    return at;
}

EchoSample MonitorEngine::sampleOf(const EchoResult& result) const {
    EchoSample echo;
    echo.sent = m_sentAt;
    echo.done = now();
    echo.host = m_echoHost;
    echo.address = Ping->ResolvedAddress();
    const bool answered = result.replies > 0;
    echo.status = result.status;
    echo.outcome = answered                 ? EchoSample::Outcome::Answered
                   : result.status == 11010 ? EchoSample::Outcome::TimedOut
                                            : EchoSample::Outcome::Error;
    if (answered) {
        // The kernel's stamp where there is one, else the reply record's
        // whole milliseconds; whole microseconds, cut as the milliseconds are.
        echo.roundTripMicros =
            result.roundTripNanos >= 0 ? result.roundTripNanos / 1000 : std::int64_t{result.reply.RoundTripTime} * 1000;
        echo.ttl = result.reply.Options.Ttl;
    }
    echo.from = result.from;
    return echo;
}

// Handlers called from Qt's signals must not let an error escape into Qt.
void MonitorEngine::guarded(void (MonitorEngine::*step)()) {
    try {
        (this->*step)();
    } catch (const Exception& e) {
        emit failed(e.Message());
        if (m_listener)
            m_listener->failed(e.Message());
    }
}

QString MonitorEngine::ApplyProfile(const MonitorProfile& profile) {
    RecentAddresses = profile.Addresses;
    Host = RecentAddresses.value(0);
    emit recentAddressesChanged(RecentAddresses);
    Timer->SetInterval(profile.Interval);
    Ping->SetTimeout(profile.Timeout);
    LoggingEnabled = profile.UseLogging;
    LogFileName = profile.LogFile;
    PeriodLength = profile.Period;
    OutageEchoes = profile.OutageEchoes;
    QString error;
    LogLimitBytes = profile.LimitBytes(&error);
    SetOptions(profile.Options);
    // The first averaging window ends on the day's grid.
    AlignToDay();
    PeriodStart = PeriodEnd - PeriodLength;
    return error;
}

void MonitorEngine::SetOptions(const MonitorOptions& options) {
    m_options = options;
    Ping->SetPreferIPv6(options.PreferIPv6);
}

MonitorProfile MonitorEngine::Profile() const {
    MonitorProfile p;
    p.Addresses = RecentAddresses;
    p.Interval = Timer->Interval();
    p.Timeout = Ping->Timeout();
    p.UseLogging = LoggingEnabled;
    p.LogFile = LogFileName;
    p.Period = PeriodLength;
    p.OutageEchoes = OutageEchoes;
    p.Options = m_options;
    return p;
}

// The echo's reply step: its value goes to each part once, in the order the
// window shows it: the address label, the chart, the outages, the index, the
// period average, the thresholds.
void MonitorEngine::PingEchoReply(QObject*, TICMP*, int Error) {
    // An echo cut short by the program's end: nothing more is shown or logged.
    if (m_shutDown)
        return;
    const EchoSample echo = sampleOf(m_result);
    const bool answered = Error != 0;
    emit echoDone(echo);
    if (m_listener)
        m_listener->echoDone(echo);
    // 1. Address label.
    const QString address = inet::format(echo.address);
    setAddressText(answered ? address : address + QStringLiteral(": ") + TICMP::StatusText(echo.status));
    // 2. Chart.
    m_chart.TakeEcho(echo, Ping->Timeout());
    // An echo whose wait a sleep or a hold-up cut through tells nothing of
    // the link: it is not fed to the index.
    if (m_services.stopwatch && !m_outages.TakeEcho(echo)) {
        MonitorState = Resolved;
        return;
    }
    // 3.-5. Index, gauge, caption.
    m_alerts.TakeEcho(echo);
    // 6. The reply's own share counts for the window after a close.
    LogPeriodAverage();
    // 7. Thresholds.
    m_alerts.CheckThresholds(echo, address, Ping->Address());
    // 8. The reply's share of the average.
    m_log.TakeIndex(ReliabilityIndex);
    // 9. Back to the cycle.
    MonitorState = Resolved;
}

void MonitorEngine::tmRepeatFailTimer() {
    m_alerts.RepeatWarning();
}

void MonitorEngine::WriteLog(const QString& line) {
    m_log.WriteLog(line);
}

QString MonitorEngine::LogFilePath() const {
    return m_log.LogFilePath();
}

const QString& MonitorEngine::ledgerPath() {
    // The log's folder is the engine's for good: the path follows the log's
    // name alone, and is worked out again only when that changes.
    if (m_ledgerPath.isNull() || LogFileName != m_ledgerPathFor) {
        m_ledgerPathFor = LogFileName;
        // The hosts of a folder share its ledger: one text of its path.
        m_ledgerPath = text::shared(LedgerFile::ledgerPath(LogFilePath()));
    }
    return m_ledgerPath;
}

QString MonitorEngine::ShortStamp(TDateTime moment) const {
    return m_log.ShortStamp(moment);
}

void MonitorEngine::AlignToDay() {
    m_log.AlignToDay();
}

void MonitorEngine::LogPeriodAverage() {
    m_log.LogPeriodAverage(Ping->Address(), ReliabilityIndex);
}

void MonitorEngine::SetLogging(bool on) {
    m_log.SetLogging(on, Ping->ResolvedIP(), Ping->Address(), ReliabilityIndex);
}
