#pragma once

#include "TTimer.h"
#include "clock/Clock.h"
#include "clock/Stopwatch.h"
#include "echo/EchoSample.h"
#include "icmp/EchoTransport.h"
#include "ledger/HostState.h"
#include "ledger/OutageWatch.h"
#include "log/ConnectionLog.h"
#include "monitor/AlertCrossing.h"
#include "monitor/ChartCursor.h"
#include "monitor/ReliabilityAlerts.h"
#include "settings/MonitorProfile.h"
#include "text/Regional.h"
#include "trace/PathWatch.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IAsyncEcho;
class IClock;
class IRouteSource;
class IStopwatch;
class IMessageBoxes;
class ISoundPlayer;
class TICMP;
class TPing;

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

// For an owner of many engines, to whom a Qt connection per signal and
// engine would cost more than the engine itself: the events of the signals
// of the same names, each heard just after its signal is emitted.
class MonitorEngineListener {
public:
    virtual ~MonitorEngineListener() = default;
    virtual void echoSent() {}
    virtual void echoDone(const EchoSample& /*echo*/) {}
    virtual void progressChanged(int /*percent*/) {}
    virtual void connectionChanged(bool /*up*/, const QString& /*message*/) {}
    virtual void outageRow(const LedgerRow& /*row*/) {}
    virtual void lookupFailed(const QString& /*host*/) {}
    virtual void logFailed(const QString& /*message*/) {}
    virtual void ledgerFailed(const QString& /*message*/) {}
    virtual void failed(const QString& /*message*/) {}
    virtual void traceProbe(const TraceProbe& /*probe*/) {}
    virtual void routeChanged(const RouteChange& /*change*/) {}
};

// One watched host: the probe cycle and the parts that keep what its echoes
// tell. Each finished echo becomes one value, EchoSample, which the engine
// hands on once: to the chart's cursor, the reliability index with its
// 30 % and 70 % alerts, the connection log with its period averages, the
// outages, and (through echoDone) to whoever else keeps it: the metrics,
// the history. Widget-free: a window or the headless watcher shows what it
// signals and hands it the user's choices. Each step keeps its classic
// name, and so does the state its parts keep.
class MonitorEngine : public QObject,
                      private ChartCursor::Listener,
                      private ReliabilityAlerts::Listener,
                      private ConnectionLog::Listener,
                      private OutageWatch::Listener,
                      private PathWatch::Listener {
    Q_OBJECT

    // The parts, before the names that refer to their state.
    EngineServices m_services;
    MonitorOptions m_options;
    ChartCursor m_chart;
    ReliabilityAlerts m_alerts;
    ConnectionLog m_log;
    OutageWatch m_outages;
    TTimer m_timer{this};
    TTimer m_repeatFailTimer{this};

public:
    explicit MonitorEngine(const EngineServices& services, QObject* parent = nullptr);
    ~MonitorEngine() override;

    // Non-visual components.
    TPing* Ping;
    TTimer* const Timer = &m_timer;
    TTimer* const tmRepeatFail = &m_repeatFailTimer;

    // Probe cycle.
    TMonitorState MonitorState = Idle;
    bool TickBusy = false;
    int& WaitTicks = m_chart.WaitTicks;
    QString Host; // as typed
    QStringList RecentAddresses;
    // Reliability and alerts.
    int& ReliabilityIndex = m_alerts.ReliabilityIndex;
    bool& ConnectionUp = m_alerts.ConnectionUp;
    double& ReliabilitySum = m_log.ReliabilitySum;
    int& ReliabilitySamples = m_log.ReliabilitySamples;
    // Chart.
    static constexpr int ChartWidth = ChartCursor::Width;
    int& ChartColumn = m_chart.Column;
    // Connection log.
    bool& LoggingEnabled = m_log.LoggingEnabled;
    QString& LogFileName = m_log.LogFileName;
    std::int32_t& LogLimitBytes = m_log.LogLimitBytes;
    TDateTime& PeriodStart = m_log.PeriodStart;
    TDateTime& PeriodEnd = m_log.PeriodEnd;
    TDateTime& PeriodLength = m_log.PeriodLength;
    // Outage ledger.
    int& OutageEchoes = m_outages.OutageEchoes;

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
    // One listener at most, or none; it must outlive the engine or be
    // taken away first.
    void SetListener(MonitorEngineListener* listener) { m_listener = listener; }

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
    // An echo left, and what became of it, once, as its value.
    void echoSent();
    void echoDone(const EchoSample& echo);
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
    // A probe of the path's trace, when tracing is on.
    void traceProbe(const TraceProbe& probe);
    // A hop of the trace answered from an address new to it.
    void routeChanged(const RouteChange& change);
    // The traced path after each round (made only while connected).
    void pathRound(const PathSnapshot& path);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // What the parts tell goes out as the engine's signals and to its
    // listener.
    void connectParts();
    void onChartWaiting(int column, int waitTicks) override;
    void onChartReply(int column, int waitTicks, bool answered, std::uint32_t roundTripMs, int timeoutMs) override;
    void onAlertProgress(int percent) override;
    void onAlertCaption(const QString& caption) override;
    void onAlertStatus(const QString& message) override;
    void onAlertChanged(bool up, const QString& message) override;
    void onAlertCrossed(const AlertCrossing& crossing) override;
    void onAlertWarning(const QString& message, int repeatMs) override;
    void onAlertLog(const QString& line) override;
    void onLogStatus(const QString& message) override;
    void onLogFailed(const QString& message) override;
    void onOutageRow(const LedgerRow& row) override;
    void onOutageInProgress(const LedgerRow& row) override;
    void onOutageCleared() override;
    void onLedgerFailed(const QString& message) override;
    void onTraceProbe(const TraceProbe& probe) override;
    void onPathEnds(const IpAddress& address, int number) override;
    void onRouteChange(const RouteChange& change) override;
    bool wantsPath() const override;
    void onPathRound(const PathSnapshot& path) override;
    // With tracing on, the path to the address the echoes go to is traced.
    void followPath();
    void startLookup();
    // Now on the clocks the outages need; from the engine's clock alone
    // (wall time only) without them.
    Moment now() const;
    // The value of the echo that just ended.
    EchoSample sampleOf(const EchoResult& result) const;
    void trackTick();
    void stopWatch(const QString& note, HostState::Watching why);
    void guarded(void (MonitorEngine::*step)());
    void setAddressText(const QString& text) { emit addressTextChanged(text); }
    // The outage ledger beside the log.
    const QString& ledgerPath();

    MonitorEngineListener* m_listener = nullptr;
    bool m_shutDown = false;
    bool m_lookupFailing = false; // reported, and not found since
    bool m_stopAfterEcho = false; // Stop came while an echo was waited for
    bool m_ending = false;        // Stop closes the watch: the program ends
    QString m_lookupHost;         // the host as typed whose lookup is under way
    QString m_watchedHost;        // the host as typed whose address the echoes go to
    QString m_echoHost;           // the host as typed when the echo left
    Moment m_sentAt;              // when it left
    EchoResult m_result;          // what became of it, until its reply step
    QString m_ledgerPathFor;      // the log name that m_ledgerPath is for
    QString m_ledgerPath;
    std::unique_ptr<PathWatch> m_path; // made when tracing is first on
};
