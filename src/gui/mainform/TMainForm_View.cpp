// The window as a view of its engine: what the engine signals is shown in
// the controls, and what the user types and presses is handed to it.

#include "AppTitle.h"
#include "TApplication.h"
#include "TMainForm.h"
#include "text/IntText.h"
#include "widgets/TChartBox.h"
#include "widgets/TGauge.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

void TMainForm::followEngine() {
    MonitorEngine* e = Engine;
    connect(e, &MonitorEngine::captionChanged, this, &TMainForm::setCaption);
    connect(e, &MonitorEngine::progressChanged, ggReliab, &TGauge::SetProgress);
    connect(e, &MonitorEngine::addressTextChanged, this, &TMainForm::showAddressText);
    connect(e, &MonitorEngine::statusMessage, this, &TMainForm::ShowStatus);
    connect(e, &MonitorEngine::statusCleared, StatusBar, &QStatusBar::clearMessage);
    connect(e, &MonitorEngine::runningChanged, this, &TMainForm::showRunning);
    connect(e, &MonitorEngine::recentAddressesChanged, this, &TMainForm::setRecentAddresses);
    connect(e, &MonitorEngine::chartStartupFill, this, [this] {
        Chart.StartupFill();
        FBox->update();
    });
    connect(e, &MonitorEngine::chartWaitingStep, this, [this](int column, int waitTicks) {
        Chart.WaitingStep(column, waitTicks);
        FBox->update();
    });
    connect(e, &MonitorEngine::chartReplyStep, this, &TMainForm::showReplyStep);
    // Errors of the engine's own steps, and a failing log, are shown once
    // the current step is over, so that the probe cycle goes on meanwhile.
    const auto showError = [this](const QString& message) {
        QMetaObject::invokeMethod(
            this, [message] { TApplication::ShowException(message); }, Qt::QueuedConnection);
    };
    connect(e, &MonitorEngine::failed, this, showError);
    connect(e, &MonitorEngine::logFailed, this, showError);
    // The typed host is the engine's from the first keystroke on, and so is
    // the list of recent hosts, however it changes.
    connect(cbConnectTo, &QComboBox::editTextChanged, e, [e](const QString& text) { e->Host = text; });
    const auto handOverList = [this] {
        QStringList items;
        for (int i = 0; i < cbConnectTo->count(); ++i)
            items << cbConnectTo->itemText(i);
        Engine->RecentAddresses = items;
    };
    QAbstractItemModel* list = cbConnectTo->model();
    connect(list, &QAbstractItemModel::rowsInserted, this, handOverList);
    connect(list, &QAbstractItemModel::rowsRemoved, this, handOverList);
    connect(list, &QAbstractItemModel::modelReset, this, handOverList);
    connect(list, &QAbstractItemModel::dataChanged, this, handOverList);
}

void TMainForm::showReplyStep(int column, int waitTicks, bool answered, std::uint32_t roundTrip, int timeout) {
    Chart.ReplyStep(column, waitTicks, answered, roundTrip, timeout);
    FBox->update();
}

void TMainForm::showRunning(bool running) {
    StartButton->setEnabled(!running);
    StopButton->setEnabled(running);
}

void TMainForm::setRecentAddresses(QStringList items) {
    // A copy: clearing the box hands the engine an empty list at once.
    cbConnectTo->clear();
    cbConnectTo->addItems(items);
    cbConnectTo->setCurrentIndex(items.isEmpty() ? -1 : 0);
}

void TMainForm::cbConnectToExit() {
    Engine->Host = cbConnectTo->currentText();
    Engine->cbConnectToExit();
}

void TMainForm::edIntervalExit() {
    edInterval->setText(QString::number(Engine->SetInterval(inttext::StrToInt(edInterval->text()))));
}

void TMainForm::edTimeoutExit() {
    edTimeout->setText(QString::number(Engine->SetTimeout(inttext::StrToInt(edTimeout->text()))));
    UpdateLegend();
}

void TMainForm::StartButtonClick() {
    Engine->StartButtonClick();
    ShowHint = false;
}

void TMainForm::StopButtonClick() {
    Engine->StopButtonClick();
}
