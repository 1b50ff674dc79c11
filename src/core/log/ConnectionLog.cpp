#include "ConnectionLog.h"

#include "AveragingWindow.h"
#include "text/FloatText.h"
#include "text/Stamps.h"

#include <utility>

ConnectionLog::ConnectionLog(const IClock& clock, const MonitorOptions& options, const RegionalSettings& regional,
                             QString logDirectory)
    : m_clock(clock), m_options(options), m_regional(regional), m_logDirectory(std::move(logDirectory)) {}

void ConnectionLog::WriteLog(const QString& line) {
    if (!LoggingEnabled)
        return;
    const QString path = LogFilePath();
    logfile::Outcome outcome = logfile::Append(path, line);
    // A log that cannot be opened (a missing folder, no rights) loses the
    // line quietly; a full disk or a path that is no file is reported.
    if (outcome.failure == logfile::Failure::CannotOpen)
        return;
    // An unchecked "Limit logfile's size" lets the log grow.
    if (outcome && m_options.LimitLogfile) {
        const qint64 size = logfile::Size(path);
        if (size > LogLimitBytes)
            outcome = logfile::Trim(path, LogLimitBytes);
    }
    report(path, outcome);
}

// A failing log is reported once, then not again until a line has been
// written and trimmed as it should.
void ConnectionLog::report(const QString& path, const logfile::Outcome& outcome) {
    if (outcome) {
        if (m_failing && out)
            out->onLogStatus(QStringLiteral("The log file %1 is written again").arg(path));
        m_failing = false;
        return;
    }
    if (m_failing)
        return;
    m_failing = true;
    const QString message = logfile::Describe(path, outcome);
    if (out) {
        out->onLogStatus(message);
        out->onLogFailed(message);
    }
}

QString ConnectionLog::LogFilePath() const {
    return logfile::ResolvePath(m_logDirectory, LogFileName);
}

QString ConnectionLog::ShortStamp(TDateTime moment) const {
    return stamps::ShortStamp(moment, m_regional);
}

void ConnectionLog::AlignToDay() {
    PeriodEnd = averaging::StepPast(m_clock.Today(), PeriodLength, m_clock.Now());
}

void ConnectionLog::StartPeriod() {
    PeriodStart = m_clock.Now();
    PeriodEnd = PeriodStart + PeriodLength;
}

void ConnectionLog::LogPeriodAverage(const QString& address, int index) {
    if (!m_options.LogAverages || !(PeriodLength > 0))
        return;
    if (m_clock.Now() < PeriodEnd || !(PeriodStart < PeriodEnd))
        return;
    const QString span = stamps::LongStamp(PeriodStart, m_regional) + u'-' + stamps::TimeStamp(PeriodEnd, m_regional);
    const QChar point = m_regional.decimalSeparator;
    if (ReliabilitySamples > 0)
        WriteLog(QStringLiteral("%1: Reliability for \"%2\" = %3 %")
                     .arg(span, address, floattext::fixed51(ReliabilitySum / ReliabilitySamples, point)));
    else
        WriteLog(QStringLiteral("%1: Reliability for %2 = %3 %")
                     .arg(span, address, floattext::fixed51(index / 10.0, point)));
    ReliabilitySum = 0;
    ReliabilitySamples = 0;
    PeriodStart = PeriodEnd;
    PeriodEnd = averaging::StepPast(PeriodEnd, PeriodLength, m_clock.Now());
}

void ConnectionLog::TakeIndex(int index) {
    ReliabilitySum += index / 10.0;
    ReliabilitySamples += 1;
}

void ConnectionLog::SetLogging(bool on, const QString& address, const QString& averageAddress, int index) {
    if (on == LoggingEnabled)
        return;
    if (on) {
        LoggingEnabled = true;
        WriteLog(QStringLiteral("%1: Logging switched on for IP \"%2\"").arg(ShortStamp(m_clock.Now()), address));
        AlignToDay();
        PeriodStart = PeriodEnd - PeriodLength;
    } else {
        PeriodEnd = m_clock.Now();
        LogPeriodAverage(averageAddress, index);
        WriteLog(QStringLiteral("%1: Logging switched off for IP \"%2\"").arg(ShortStamp(m_clock.Now()), address));
        LoggingEnabled = false;
    }
}
