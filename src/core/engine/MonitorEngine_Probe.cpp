// The probe cycle: timer ticks, host lookup, the interval and time-out with
// their limits, Start and Stop.

#include "MonitorEngine.h"

#include "TTimer.h"
#include "monitor/RecentAddresses.h"
#include "ping/TPing.h"
#include "seams/IMessageBoxes.h"

#include <algorithm>
#include <utility>

namespace {

// Clears the busy flag however the tick ends, so later ticks keep working.
struct BusyGuard {
    bool& flag;
    ~BusyGuard() { flag = false; }
};

} // namespace

void MonitorEngine::TimerTimer() {
    // Every tick tells the ledger the program is awake, also while an echo
    // is being waited for.
    trackTick();
    if (TickBusy)
        return;
    TickBusy = true;
    BusyGuard guard{TickBusy};
    switch (MonitorState) {
    case Idle:
        cbConnectToExit();
        break;
    case Resolved:
        m_chart.Sent();
        MonitorState = Waiting;
        Ping->SendEcho();
        // An echo that Stop cut short ended without a reply step: the next
        // tick after Start sends the next one. A Stop that came during the
        // wait from outside the held input (the tray's menu) is carried out
        // now, after the echo.
        if (Ping->EchoInterrupted()) {
            if (MonitorState == Waiting)
                MonitorState = Resolved;
            if (std::exchange(m_stopAfterEcho, false))
                StopButtonClick();
        }
        break;
    case Waiting:
        m_chart.Waiting();
        break;
    case LookupFailed:
        // Without anyone to ask, the host is looked for again at each tick,
        // quietly: the failure was reported once.
        if (!m_services.boxes) {
            startLookup();
        } else if (m_services.boxes->Ask(
                       IMessageBoxes::Kind::Error, QStringLiteral("The address could not be found.\r\nTry again?"),
                       IMessageBoxes::Yes | IMessageBoxes::No | IMessageBoxes::Cancel) == IMessageBoxes::Yes) {
            cbConnectToExit();
        } else {
            StopButtonClick();
        }
        break;
    case Resolving:
        break;
    }
}

void MonitorEngine::startLookup() {
    MonitorState = Resolving;
    setAddressText(QStringLiteral("Resolving host-address.."));
    m_lookupHost = Host;
    Ping->StartDnsLookup(Host);
}

void MonitorEngine::cbConnectToExit() {
    if (MonitorState != Resolving)
        startLookup();
    if (LoggingEnabled) {
        WriteLog(QStringLiteral("%1: Start monitor for IP-Address \"%2\"").arg(ShortStamp(Clock().Now()), Host));
        AlignToDay();
        PeriodStart = Clock().Now();
    }
}

void MonitorEngine::PingDnsLookupDone(QObject*, std::uint16_t Error) {
    if (Error != 0) {
        setAddressText(QStringLiteral("Cannot find host-address."));
        MonitorState = LookupFailed;
        if (!m_lookupFailing) {
            emit lookupFailed(Host);
            if (m_listener)
                m_listener->lookupFailed(Host);
        }
        m_lookupFailing = true;
        return;
    }
    m_lookupFailing = false;
    m_watchedHost = m_lookupHost;
    MonitorState = Resolved;
    setAddressText(QStringLiteral("IP-Address: ") + Ping->DnsLookupResult());
    Ping->SetAddress(Ping->DnsLookupResult());
    recent::insert(RecentAddresses, Host);
    emit recentAddressesChanged(RecentAddresses);
}

std::int32_t MonitorEngine::SetInterval(std::int32_t milliseconds) {
    Timer->SetInterval(std::clamp(milliseconds, 200, 60000));
    m_outages.SetTiming(Timer->Interval(), Ping->Timeout());
    return Timer->Interval();
}

std::int32_t MonitorEngine::SetTimeout(std::int32_t milliseconds) {
    Ping->SetTimeout(std::clamp(milliseconds, 500, 10000));
    m_outages.SetTiming(Timer->Interval(), Ping->Timeout());
    return Ping->Timeout();
}

std::int32_t MonitorEngine::Interval() const {
    return Timer->Interval();
}

std::int32_t MonitorEngine::Timeout() const {
    return Ping->Timeout();
}

QString MonitorEngine::ResolvedIP() const {
    return Ping->ResolvedIP();
}

void MonitorEngine::StartButtonClick() {
    emit statusCleared();
    m_outages.SetTiming(Timer->Interval(), Ping->Timeout());
    // Start watches the host typed; its first tick looks it up.
    m_watchedHost = Host;
    if (m_services.stopwatch)
        m_outages.Begin(m_watchedHost, Ping->ResolvedIP(), ledgerPath(), now());
    Timer->SetEnabled(true);
    emit runningChanged(true);
    m_log.StartPeriod();
    m_alerts.Start();
}

void MonitorEngine::StopButtonClick() {
    // Never inside an echo's wait: the echo ends at once, and the tick that
    // sent it carries Stop out once it is over.
    if (InterruptEcho()) {
        m_stopAfterEcho = true;
        return;
    }
    PeriodEnd = Clock().Now();
    LogPeriodAverage();
    Timer->SetEnabled(false);
    stopWatch(QStringLiteral("ended by Stop"), m_ending ? HostState::Watching::Closed : HostState::Watching::Stopped);
    emit runningChanged(false);
}

// Only the tick that sent the echo waits for it, in state Waiting; the ping
// component knows whether it still does.
bool MonitorEngine::InterruptEcho() {
    return TickBusy && Ping->InterruptEcho();
}

bool MonitorEngine::Running() const {
    return Timer->Enabled();
}

void MonitorEngine::ConfirmWarning() {
    tmRepeatFail->SetEnabled(false);
}

void MonitorEngine::Shutdown() {
    m_shutDown = true;
    Timer->SetEnabled(false);
    stopWatch(QStringLiteral("ended by Stop"), HostState::Watching::Closed);
    tmRepeatFail->SetEnabled(false);
    emit warningCleared();
}

// Every tick tells the outages that the program is awake.
void MonitorEngine::trackTick() {
    if (m_services.stopwatch && Timer->Enabled())
        m_outages.Tick(now());
}

void MonitorEngine::stopWatch(const QString& note, HostState::Watching why) {
    if (m_path)
        m_path->stop();
    if (m_services.stopwatch)
        m_outages.Stop(note, why, now());
}
