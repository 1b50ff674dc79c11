// The echo reply: address label, chart, reliability index, caption, period
// average and the 30 % / 70 % alerts.

#include "Forms.h"
#include "TMainForm.h"
#include "clock/Clock.h"
#include "logform/TFileNameEdit.h"
#include "logform/TLogForm.h"
#include "monitor/Reliability.h"
#include "ping/TPing.h"
#include "seams/ISoundPlayer.h"
#include "text/Stamps.h"
#include "warnform/TfrmWarn.h"
#include "widgets/TGauge.h"
#include "widgets/TTimer.h"

#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>

#include <cmath>

void TMainForm::PingEchoReply(QObject*, TICMP*, int Error) {
    // An echo cut short by closing the window: nothing more is shown or logged.
    if (m_closing)
        return;
    const bool answered = Error != 0;
    // 1. Address label.
    showAddressText(answered ? Ping->ResolvedIP() : Ping->ResolvedIP() + QStringLiteral(": ") + Ping->StatusText());
    // 2. Chart.
    TIcmpEchoReply reply;
    Ping->LastReply(reply);
    ChartReplyStep(answered, reply.RoundTripTime);
    // 3.-5. Index, gauge, caption.
    ReliabilityIndex = reliability::next(ReliabilityIndex, answered);
    ggReliab->SetProgress(reliability::percent(ReliabilityIndex));
    setCaption(QString::asprintf("Connection %d%%", ggReliab->Progress()));
    // 6. The reply's own share counts for the window after a close.
    LogPeriodAverage();
    // 7. Thresholds.
    // The stamps are made only at a crossing, not for every reply.
    const TDateTime now = Clock().Now();
    switch (reliability::crossing(ConnectionUp, ReliabilityIndex)) {
    case reliability::Crossing::Fell: {
        const QString message =
            QStringLiteral("%1: Connection %2 falls below 30%").arg(ShortStamp(now), Ping->ResolvedIP());
        if (LogForm->chSoundFail->isChecked()) {
            m_services.sound->PlaySound(LogForm->edSoundFail->text());
            if (LogForm->chbRepeatWarn->isChecked()) {
                tmRepeatFail->SetInterval(LogForm->RepeatIntervalSeconds() * 1000);
                tmRepeatFail->SetEnabled(true);
                frmWarn->lbMessage->setText(message);
                frmWarn->ShowWarning();
            }
        }
        StatusBar->showMessage(message);
        ConnectionUp = false;
        if (LogForm->chLogChanges->isChecked())
            WriteLog(QStringLiteral("%1: Reliability for \"%2\" falls below 30%")
                         .arg(stamps::LongStamp(now, Regional()), Ping->Address()));
        break;
    }
    case reliability::Crossing::Rose:
        if (LogForm->chSoundBack->isChecked())
            m_services.sound->PlaySound(LogForm->edSoundBack->text());
        StatusBar->showMessage(
            QStringLiteral("%1: Connection %2 rises above 70%").arg(ShortStamp(now), Ping->ResolvedIP()));
        ConnectionUp = true;
        if (LogForm->chLogChanges->isChecked())
            WriteLog(QStringLiteral("%1: Reliability for \"%2\" rises above 70%")
                         .arg(stamps::LongStamp(now, Regional()), Ping->Address()));
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

void TMainForm::tmRepeatFailTimer() {
    m_services.sound->PlaySound(LogForm->edSoundFail->text());
}
