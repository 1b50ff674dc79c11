// The connection log: the line writer with its size limit, the averaging
// window with its average lines, and the logging switch.

#include "Forms.h"
#include "TApplication.h"
#include "TMainForm.h"
#include "log/AveragingWindow.h"
#include "log/LogFile.h"
#include "logform/TLogForm.h"
#include "ping/TPing.h"
#include "text/FloatText.h"
#include "text/Stamps.h"

#include <QCheckBox>

void TMainForm::WriteLog(const QString& line) {
    if (!LoggingEnabled)
        return;
    const QString path = LogFilePath();
    logfile::Append(path, line);
    // An unchecked "Limit logfile's size" lets the log grow.
    if (LogForm && !LogForm->chLimitKb->isChecked())
        return;
    const qint64 size = logfile::Size(path);
    if (size < 0 || size <= LogLimitBytes)
        return;
    // A failed trim is shown, but the caller's own steps go on.
    switch (logfile::Trim(path, LogLimitBytes)) {
    case logfile::TrimResult::Done:
        break;
    case logfile::TrimResult::CannotOpen:
        TApplication::ShowException(QStringLiteral("Cannot open file %1").arg(path));
        break;
    case logfile::TrimResult::CannotCreate:
        TApplication::ShowException(QStringLiteral("Cannot create file %1").arg(path));
        break;
    }
}

QString TMainForm::LogFilePath() const {
    return logfile::ResolvePath(ProgramDirectory, LogFileName);
}

QString TMainForm::ShortStamp(TDateTime moment) const {
    return stamps::ShortStamp(moment, Regional());
}

void TMainForm::AlignToDay() {
    PeriodEnd = averaging::StepPast(Clock().Today(), PeriodLength, Clock().Now());
}

void TMainForm::LogPeriodAverage() {
    if ((LogForm && !LogForm->chLogAverages->isChecked()) || !(PeriodLength > 0))
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

void TMainForm::SetLogging(bool on) {
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
