#pragma once

#include "clock/Clock.h"
#include "icmp/EchoTransport.h"
#include "ledger/HostState.h"
#include "ledger/OutageTracker.h"
#include "log/LogFile.h"
#include "monitor/AlertCrossing.h"
#include "settings/MonitorProfile.h"
#include "text/Regional.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IAsyncEcho;
class HostLedger;
class IClock;
class IRouteSource;
class IStopwatch;
class IMessageBoxes;
class ISoundPlayer;
class TICMP;
class TPing;
class TTimer;

// The probe cycle's states; 4 is never used.
enum TMonitorState { Idle = 0, Resolved = 1, Waiting = 2, Resolving = 3, LookupFailed = 5 };

// What the engine takes from its front end, or from a test.
struct EngineServices {
    IClock* clock = nullptr;
    // Optional: without a player the alerts make no sound.
    ISoundPlayer* sound = nullptr;
    // Optional: without message boxes a host that cannot be found is looked
    // up again at each tick instead of asking "Try again?".
    IMessageBoxes* boxes = nullptr;
    // Makes the ping component (owned by the engine); the system's ICMP
    // socket and resolver when unset.
    std::function<TPing*(QObject* owner)> makePing;
    // The folder a relative log name is relative to, with its trailing "/".
    QString logDirectory;
    RegionalSettings regional;
    // Optional, for the outage ledger: the clocks that tell sleep from
    // outage (without them no ledger is kept), the kernel's routes and a
    // channel for echoes to the gateway (without them outages have no cause,
    // or only the local side's).
    IStopwatch* stopwatch = nullptr;
    IRouteSource* routes = nullptr;
    std::function<std::unique_ptr<IAsyncEcho>()> makeProbeChannel;
};

// One watched host: the probe cycle, the reliability index with its 30 % and
// 70 % alerts, the chart's column model, the connection log with its period
// averages. Widget-free: a window or the headless watcher shows what it
// signals and hands it the user's choices. Each step keeps its classic name.
class MonitorEngine : public QObject {
    Q_OBJECT
public:
    explicit MonitorEngine(const EngineServices& services, QObject* parent = nullptr);
    ~MonitorEngine() override;

    // Non-visual components.
    TPing* Ping;
    TTimer* Timer;
    TTimer* tmRepeatFail;

    // Probe cycle.
    TMonitorState MonitorState = Idle;
    bool TickBusy = false;
    int WaitTicks = 0;
    QString Host; // as typed
    QStringList RecentAddresses;
    // Reliability and alerts.
    int ReliabilityIndex = 0;
    bool ConnectionUp = true;
    double ReliabilitySum = 0;
    int ReliabilitySamples = 0;
    // Chart.
    static constexpr int ChartWidth = 345;
    int ChartColumn = 0;
    // Connection log.
    bool LoggingEnabled = false;
    QString LogFileName;
    std::int32_t LogLimitBytes = 30 * 1024;
    TDateTime PeriodStart = 0;
    TDateTime PeriodEnd = 0;
    TDateTime PeriodLength = OneMinute;
    // Outage ledger.
    OutageTracker Outages;
    int OutageEchoes = 2;

    // Takes over the settings file's values, the first address as the host,
    // and starts the averaging window. A size limit that is no number gives
    // the default limit; the message about it is returned.
    QString ApplyProfile(const MonitorProfile& profile);
    // The settings as they stand, for the settings file.
    MonitorProfile Profile() const;
    const MonitorOptions& Options() const { return m_options; }
    // Takes effect at the next reply; the address family wanted for a name
    // at its next lookup.
    void SetOptions(const MonitorOptions& options);
    const RegionalSettings& Regional() const { return m_services.regional; }
    void SetRegional(const RegionalSettings& regional) { m_services.regional = regional; }
    IClock& Clock() const { return *m_services.clock; }
    const QString& LogDirectory() const { return m_services.logDirectory; }

    // Probe cycle steps.
    void TimerTimer();
    void cbConnectToExit();
    void PingDnsLookupDone(QObject* Sender, std::uint16_t Error);
    // The interval and time-out, kept to their limits; returns what is used.
    std::int32_t SetInterval(std::int32_t milliseconds);
    std::int32_t SetTimeout(std::int32_t milliseconds);
    std::int32_t Interval() const;
    std::int32_t Timeout() const;
    void StartButtonClick();
    void StopButtonClick();
    // Ends the echo being waited for at once, for Stop pressed during the
    // wait: the echo counts as neither answered nor lost, and the cycle's
    // next tick sends a new one. Returns whether an echo was ended.
    bool InterruptEcho();
    bool Running() const;
    // Ends the repeating warning sound: the warning was confirmed.
    void ConfirmWarning();
    // Stops the timers for good: the program is ending. An echo still out
    // ends without a reply step.
    void Shutdown();
    // The program is about to end: a Stop from now on tells the ledger that
    // the program was closed rather than stopped.
    void SetEnding() { m_ending = true; }
    // Reply handling and alerts.
    void PingEchoReply(QObject* Sender, TICMP* Icmp, int Error);
    void tmRepeatFailTimer();
    // Connection log.
    void WriteLog(const QString& line);
    // LogFileName as typed; this is where it lies on disk.
    QString LogFilePath() const;
    QString ShortStamp(TDateTime moment) const;
    void LogPeriodAverage();
    void SetLogging(bool on);
    void AlignToDay();
    // The resolved address of the host, empty before a lookup.
    QString ResolvedIP() const;
    // The host as typed whose address the echoes go to: the text of the
    // address box may already be another one, not yet looked up.
    const QString& WatchedHost() const { return m_watchedHost; }

signals:
    void captionChanged(const QString& caption);
    void progressChanged(int percent);
    void addressTextChanged(const QString& text);
    void statusMessage(const QString& message);
    void statusCleared();
    void runningChanged(bool running);
    void recentAddressesChanged(const QStringList& addresses);
    // Chart steps: the whole chart anew, a waiting tick at column + ticks,
    // one reply's bar from `column` over its waiting ticks.
    void chartStartupFill();
    void chartWaitingStep(int column, int waitTicks);
    void chartReplyStep(int column, int waitTicks, bool answered, std::uint32_t roundTrip, int timeout);
    // The falling alert asks for the warning window with this message.
    void warningRaised(const QString& message);
    void warningCleared();
    // The index crossed 30 % downwards (false) or 70 % upwards (true).
    void connectionChanged(bool up, const QString& message);
    // The same crossing as a value, naming the host it is about.
    void alertCrossed(const AlertCrossing& crossing);
    // An echo left, and what became of it.
    void echoSent();
    void echoFinished(const EchoResult& result, const QString& statusText);
    // A host that cannot be found, once per run of failed lookups.
    void lookupFailed(const QString& host);
    // The log failed (once until it works again) or works again.
    void logFailed(const QString& message);
    // An error a handler ran into, for the front end's error box.
    void failed(const QString& message);
    // The ledger: a finished outage or gap, the outage in progress as it
    // begins and changes, and its end.
    void outageRow(const LedgerRow& row);
    void outageInProgress(const LedgerRow& row);
    void outageCleared();
    // The ledger could not be written (once until it can again).
    void ledgerFailed(const QString& message);

private:
    void startLookup();
    void announceCrossing(bool up, TDateTime now, const QString& message);
    // The outage ledger's part of the cycle (MonitorEngine_Outages.cpp).
    void trackerSettings();
    void trackTick();
    void trackSent();
    // Returns whether the echo counts for the index.
    bool trackDone(bool answered);
    void trackStop(const QString& note, HostState::Watching why);
    void diagnose();
    // The host's part of the ledger beside the log: its rows, its outage in
    // progress and its watching stamp. A failure is told once in the status
    // line.
    void beginLedger();
    void endLedger(HostState::Watching why);
    void keepRow(const LedgerRow& row);
    void keepOpen(const LedgerRow* open);
    void reportLog(const QString& path, const logfile::Outcome& outcome);
    void guarded(void (MonitorEngine::*step)());
    void setAddressText(const QString& text) { emit addressTextChanged(text); }

    EngineServices m_services;
    MonitorOptions m_options;
    bool m_logFailing = false;    // reported, and not written since
    bool m_lookupFailing = false; // reported, and not found since
    bool m_shutDown = false;
    bool m_stopAfterEcho = false; // Stop came while an echo was waited for
    QString m_lookupHost;         // the host as typed whose lookup is under way
    QString m_watchedHost;        // the host as typed whose address the echoes go to
    QString m_echoHost;           // the host as typed when the echo left
    RecentEchoes m_recent;
    std::unique_ptr<IAsyncEcho> m_gatewayProbe;
    std::vector<std::uint8_t> m_probeData;
    std::int64_t m_lastDiagnosisMs = 0;
    bool m_diagnosed = false;
    std::unique_ptr<HostLedger> m_hostLedger;
    bool m_ledgerActive = false; // between Start and Stop
    bool m_ending = false;       // Stop closes the watch: the program ends
};
