// The echo reply: address text, chart step, reliability index, caption,
// period average and the 30 % / 70 % alerts.

#include "MonitorEngine.h"

#include "TTimer.h"
#include "monitor/ChartColumns.h"
#include "monitor/Reliability.h"
#include "ping/TPing.h"
#include "seams/ISoundPlayer.h"
#include "text/Stamps.h"

void MonitorEngine::PingEchoReply(QObject*, TICMP*, int Error) {
    // An echo cut short by the program's end: nothing more is shown or logged.
    if (m_shutDown)
        return;
    const bool answered = Error != 0;
    TIcmpEchoReply reply;
    Ping->LastReply(reply);
    {
        EchoResult result;
        result.replies = answered ? 1 : 0;
        result.status = Ping->LastStatus();
        result.reply = reply;
        result.roundTripNanos = Ping->LastRoundTripNanos();
        emit echoFinished(result, answered ? QString() : Ping->StatusText());
    }
    // 1. Address label.
    setAddressText(answered ? Ping->ResolvedIP() : Ping->ResolvedIP() + QStringLiteral(": ") + Ping->StatusText());
    // 2. Chart.
    emit chartReplyStep(ChartColumn, WaitTicks, answered, reply.RoundTripTime, Ping->Timeout());
    chartcolumns::advance(ChartColumn, WaitTicks, ChartWidth);
    // An echo whose wait a sleep or a hold-up cut through tells nothing of
    // the link: it is not fed to the index.
    if (!trackDone(answered)) {
        MonitorState = Resolved;
        return;
    }
    // 3.-5. Index, gauge, caption.
    m_recent.add(answered);
    ReliabilityIndex = reliability::next(ReliabilityIndex, answered);
    const int percent = reliability::percent(ReliabilityIndex);
    emit progressChanged(percent);
    emit captionChanged(QString::asprintf("Connection %d%%", percent));
    // 6. The reply's own share counts for the window after a close.
    LogPeriodAverage();
    // 7. Thresholds.
    // The stamps are made only at a crossing, not for every reply.
    const TDateTime now = Clock().Now();
    switch (reliability::crossing(ConnectionUp, ReliabilityIndex)) {
    case reliability::Crossing::Fell: {
        const QString message =
            QStringLiteral("%1: Connection %2 falls below 30%").arg(ShortStamp(now), Ping->ResolvedIP());
        if (m_options.SoundFail) {
            if (m_services.sound)
                m_services.sound->PlaySound(m_options.FailFile);
            if (m_options.RepeatWarn) {
                tmRepeatFail->SetInterval(m_options.RepeatIntervalSeconds * 1000);
                tmRepeatFail->SetEnabled(true);
                emit warningRaised(message);
            }
        }
        announceCrossing(false, now, message);
        break;
    }
    case reliability::Crossing::Rose:
        if (m_options.SoundBack && m_services.sound)
            m_services.sound->PlaySound(m_options.BackFile);
        announceCrossing(true, now,
                         QStringLiteral("%1: Connection %2 rises above 70%").arg(ShortStamp(now), Ping->ResolvedIP()));
        break;
    case reliability::Crossing::None:
        break;
    }
    // 8. The reply's share of the average.
    ReliabilitySum += ReliabilityIndex / 10.0;
    ReliabilitySamples += 1;
    // 9. Back to the cycle.
    MonitorState = Resolved;
}

void MonitorEngine::tmRepeatFailTimer() {
    if (m_services.sound)
        m_services.sound->PlaySound(m_options.FailFile);
}

// Either crossing, after its sound: the status line, the connection's state
// as the alerts see it and, when asked for, the log line.
void MonitorEngine::announceCrossing(bool up, TDateTime now, const QString& message) {
    emit statusMessage(message);
    ConnectionUp = up;
    emit connectionChanged(up, message);
    AlertCrossing crossing;
    crossing.up = up;
    crossing.host = m_echoHost;
    crossing.address = Ping->ResolvedIP();
    crossing.percent = reliability::percent(ReliabilityIndex);
    crossing.at = now;
    m_recent.describe(crossing);
    m_recent.clear();
    emit alertCrossed(crossing);
    if (m_options.LogChanges)
        WriteLog(QStringLiteral("%1: Reliability for \"%2\" %3")
                     .arg(stamps::LongStamp(now, Regional()), Ping->Address(),
                          up ? QStringLiteral("rises above 70%") : QStringLiteral("falls below 30%")));
}
