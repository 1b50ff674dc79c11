#pragma once

#include "LogFile.h"
#include "clock/Clock.h"
#include "settings/MonitorProfile.h"
#include "text/Regional.h"

#include <QString>

#include <cstdint>

// The connection log of one watched host: the line writer with its size
// limit, the averaging window with its average lines, and the logging
// switch. It takes the reliability index after each counted reply; the
// address that its lines name is handed in by the caller, who knows it.
class ConnectionLog {
public:
    // The options (LimitLogfile, LogAverages) and the regional settings are
    // the caller's and read at each use; `logDirectory` is where a relative
    // log name lies.
    ConnectionLog(const IClock& clock, const MonitorOptions& options, const RegionalSettings& regional,
                  QString logDirectory);

    bool LoggingEnabled = false;
    QString LogFileName;
    std::int32_t LogLimitBytes = 30 * 1024;
    TDateTime PeriodStart = 0;
    TDateTime PeriodEnd = 0;
    TDateTime PeriodLength = OneMinute;
    double ReliabilitySum = 0;
    int ReliabilitySamples = 0;

    // A failure of the log (once until it is written again) and the line
    // that it is written again, for the status line; and the failure alone,
    // for the front end's error box.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void onLogStatus(const QString& message) = 0;
        virtual void onLogFailed(const QString& message) = 0;
    };
    // None, or one that outlives the log.
    Listener* out = nullptr;

    void WriteLog(const QString& line);
    // LogFileName as typed; this is where it lies on disk.
    QString LogFilePath() const;
    const QString& LogDirectory() const { return m_logDirectory; }
    QString ShortStamp(TDateTime moment) const;
    // The window ends on the day's grid at or after now.
    void AlignToDay();
    // Closes the averaging window when it is due, with its average line for
    // `address`; `index` stands in when no reply fell into it.
    void LogPeriodAverage(const QString& address, int index);
    // The index after a counted reply, for the window's average.
    void TakeIndex(int index);
    // The switch's lines name `address`; the average closed when it goes off
    // names `averageAddress`, as every average line does.
    void SetLogging(bool on, const QString& address, const QString& averageAddress, int index);
    // Watching begins: the window starts now.
    void StartPeriod();

private:
    void report(const QString& path, const logfile::Outcome& outcome);

    const IClock& m_clock;
    const MonitorOptions& m_options;
    const RegionalSettings& m_regional;
    QString m_logDirectory;
    bool m_failing = false; // reported, and not written since
};
