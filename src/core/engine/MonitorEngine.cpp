// The engine's life: its components and the settings it takes and gives.

#include "MonitorEngine.h"

#include "Exception.h"
#include "TTimer.h"
#include "icmp/AsyncEcho.h"
#include "ledger/HostLedger.h"
#include "ping/TPing.h"

#include <algorithm>

MonitorEngine::MonitorEngine(const EngineServices& services, QObject* parent) : QObject(parent), m_services(services) {
    Ping = m_services.makePing ? m_services.makePing(this) : new TPing(this);
    Ping->SetSize(56);
    Ping->SetTimeout(1000);
    Ping->SetTTL(64);
    Ping->SetFlags(0);
    Ping->OnEchoReply = [this](QObject* sender, TICMP* icmp, int error) { PingEchoReply(sender, icmp, error); };
    Ping->OnDnsLookupDone = [this](QObject* sender, std::uint16_t error) { PingDnsLookupDone(sender, error); };
    Ping->OnEchoRequest = [this](QObject*, TICMP*) {
        m_echoHost = m_watchedHost;
        trackSent();
        emit echoSent();
    };
    Outages.onRow = [this](const LedgerRow& row) { keepRow(row); };
    Outages.onOpen = [this](const LedgerRow* open) { keepOpen(open); };
    Timer = new TTimer(this);
    tmRepeatFail = new TTimer(this);
    connect(Timer, &TTimer::OnTimer, this, [this] { guarded(&MonitorEngine::TimerTimer); });
    connect(tmRepeatFail, &TTimer::OnTimer, this, [this] { guarded(&MonitorEngine::tmRepeatFailTimer); });
    ConnectionUp = true;
    AlignToDay();
    PeriodStart = PeriodEnd - PeriodLength;
}

MonitorEngine::~MonitorEngine() {
    // The component may still report a cancelled lookup: let it do so while
    // the engine is whole.
    delete Ping;
    Ping = nullptr;
}

// Handlers called from Qt's signals must not let an error escape into Qt.
void MonitorEngine::guarded(void (MonitorEngine::*step)()) {
    try {
        (this->*step)();
    } catch (const Exception& e) {
        emit failed(e.Message());
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
