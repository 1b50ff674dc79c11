// The probe cycle: timer ticks, host lookup, Start and Stop, and the limits
// of the interval and time-out fields.

#include "Forms.h"
#include "TMainForm.h"
#include "monitor/RecentAddresses.h"
#include "ping/TPing.h"
#include "seams/IMessageBoxes.h"
#include "text/IntText.h"
#include "widgets/TGauge.h"
#include "widgets/TTimer.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>

namespace {

// Clears the busy flag however the tick ends, so later ticks keep working.
struct BusyGuard {
    bool& flag;
    ~BusyGuard() { flag = false; }
};

} // namespace

void TMainForm::TimerTimer() {
    if (TickBusy)
        return;
    TickBusy = true;
    BusyGuard guard{TickBusy};
    switch (MonitorState) {
    case Idle:
        cbConnectToExit();
        break;
    case Resolved:
        WaitTicks = 0;
        MonitorState = Waiting;
        Ping->SendEcho();
        break;
    case Waiting:
        ++WaitTicks;
        ChartWaitingStep();
        break;
    case LookupFailed:
        if (m_services.boxes->Ask(IMessageBoxes::Kind::Error,
                                  QStringLiteral("The address could not be found.\r\nTry again?"),
                                  IMessageBoxes::Yes | IMessageBoxes::No | IMessageBoxes::Cancel) == IMessageBoxes::Yes)
            cbConnectToExit();
        else
            StopButtonClick();
        break;
    case Resolving:
        break;
    }
}

void TMainForm::cbConnectToExit() {
    if (MonitorState != Resolving) {
        MonitorState = Resolving;
        showAddressText(QStringLiteral("Resolving host-address.."));
        Ping->StartDnsLookup(cbConnectTo->currentText());
    }
    if (LoggingEnabled) {
        WriteLog(QStringLiteral("%1: Start monitor for IP-Address \"%2\"")
                     .arg(ShortStamp(Clock().Now()), cbConnectTo->currentText()));
        AlignToDay();
        PeriodStart = Clock().Now();
    }
}

void TMainForm::PingDnsLookupDone(QObject*, std::uint16_t Error) {
    if (Error != 0) {
        showAddressText(QStringLiteral("Cannot find host-address."));
        MonitorState = LookupFailed;
        return;
    }
    MonitorState = Resolved;
    showAddressText(QStringLiteral("IP-Address: ") + Ping->DnsLookupResult());
    Ping->SetAddress(Ping->DnsLookupResult());

    QStringList items;
    for (int i = 0; i < cbConnectTo->count(); ++i)
        items << cbConnectTo->itemText(i);
    recent::insert(items, cbConnectTo->currentText());
    setRecentAddresses(items);
}

void TMainForm::setRecentAddresses(const QStringList& items) {
    cbConnectTo->clear();
    cbConnectTo->addItems(items);
    cbConnectTo->setCurrentIndex(items.isEmpty() ? -1 : 0);
}

void TMainForm::edIntervalExit() {
    const std::int32_t value = std::clamp(inttext::StrToInt(edInterval->text()), 200, 60000);
    Timer->SetInterval(value);
    edInterval->setText(QString::number(Timer->Interval()));
}

void TMainForm::edTimeoutExit() {
    const std::int32_t value = std::clamp(inttext::StrToInt(edTimeout->text()), 500, 10000);
    Ping->SetTimeout(value);
    edTimeout->setText(QString::number(Ping->Timeout()));
    UpdateLegend();
}

void TMainForm::StartButtonClick() {
    StatusBar->clearMessage();
    StartButton->setEnabled(false);
    StopButton->setEnabled(true);
    Timer->SetEnabled(true);
    PeriodStart = Clock().Now();
    PeriodEnd = PeriodStart + PeriodLength;
    ggReliab->SetProgress(0);
    ReliabilityIndex = 1000;
    ShowHint = false;
}

void TMainForm::StopButtonClick() {
    PeriodEnd = Clock().Now();
    LogPeriodAverage();
    StartButton->setEnabled(true);
    StopButton->setEnabled(false);
    Timer->SetEnabled(false);
}
