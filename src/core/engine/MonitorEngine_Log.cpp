// The connection log: the line writer with its size limit, the averaging
// window with its average lines, and the logging switch.

#include "MonitorEngine.h"

#include "log/AveragingWindow.h"
#include "ping/TPing.h"
#include "text/FloatText.h"
#include "text/Stamps.h"

void MonitorEngine::WriteLog(const QString& line) {
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
    reportLog(path, outcome);
}

// A failing log is reported once, then not again until a line has been
// written and trimmed as it should.
void MonitorEngine::reportLog(const QString& path, const logfile::Outcome& outcome) {
    if (outcome) {
        if (m_logFailing)
            emit statusMessage(QStringLiteral("The log file %1 is written again").arg(path));
        m_logFailing = false;
        return;
    }
    if (m_logFailing)
        return;
    m_logFailing = true;
    const QString message = logfile::Describe(path, outcome);
    emit statusMessage(message);
    emit logFailed(message);
}

QString MonitorEngine::LogFilePath() const {
    return logfile::ResolvePath(m_services.logDirectory, LogFileName);
}

QString MonitorEngine::ShortStamp(TDateTime moment) const {
    return stamps::ShortStamp(moment, Regional());
}

void MonitorEngine::AlignToDay() {
    PeriodEnd = averaging::StepPast(Clock().Today(), PeriodLength, Clock().Now());
}

void MonitorEngine::LogPeriodAverage() {
    if (!m_options.LogAverages || !(PeriodLength > 0))
        return;
    if (Clock().Now() < PeriodEnd || !(PeriodStart < PeriodEnd))
        return;
    const QString span = stamps::LongStamp(PeriodStart, Regional()) + u'-' + stamps::TimeStamp(PeriodEnd, Regional());
    const QChar point = Regional().decimalSeparator;
    if (ReliabilitySamples > 0)
        WriteLog(QStringLiteral("%1: Reliability for \"%2\" = %3 %")
                     .arg(span, Ping->Address(), floattext::fixed51(ReliabilitySum / ReliabilitySamples, point)));
    else
        WriteLog(QStringLiteral("%1: Reliability for %2 = %3 %")
                     .arg(span, Ping->Address(), floattext::fixed51(ReliabilityIndex / 10.0, point)));
    ReliabilitySum = 0;
    ReliabilitySamples = 0;
    PeriodStart = PeriodEnd;
    PeriodEnd = averaging::StepPast(PeriodEnd, PeriodLength, Clock().Now());
}

void MonitorEngine::SetLogging(bool on) {
    if (on == LoggingEnabled)
        return;
    if (on) {
        LoggingEnabled = true;
        WriteLog(
            QStringLiteral("%1: Logging switched on for IP \"%2\"").arg(ShortStamp(Clock().Now()), Ping->ResolvedIP()));
        AlignToDay();
        PeriodStart = PeriodEnd - PeriodLength;
    } else {
        PeriodEnd = Clock().Now();
        LogPeriodAverage();
        WriteLog(QStringLiteral("%1: Logging switched off for IP \"%2\"")
                     .arg(ShortStamp(Clock().Now()), Ping->ResolvedIP()));
        LoggingEnabled = false;
    }
}
