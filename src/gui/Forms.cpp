#include "Forms.h"
#include "history/HistoryShelf.h"
#include "history/THistoryForm.h"
#include "logform/TLogForm.h"
#include "mainform/TMainForm.h"
#include "notify/AlertNotices.h"
#include "outages/TOutagesForm.h"
#include "route/TRouteForm.h"
#include "tray/TrayIcon.h"
#include "warnform/TfrmWarn.h"

#include <QPointer>

TMainForm* MainForm = nullptr;
TLogForm* LogForm = nullptr;
TfrmWarn* frmWarn = nullptr;
TOutagesForm* OutagesForm = nullptr;
THistoryForm* HistoryForm = nullptr;
TRouteForm* RouteForm = nullptr;

void ConnectForms(TMainForm* main, TLogForm* logForm, TfrmWarn* warn, TOutagesForm* outages) {
    MonitorEngine* engine = main->Engine;
    QObject::connect(engine, &MonitorEngine::warningRaised, warn, &TfrmWarn::ShowWarning);
    QObject::connect(engine, &MonitorEngine::warningCleared, warn, &QWidget::hide);
    QObject::connect(warn, &TfrmWarn::confirmed, engine, &MonitorEngine::ConfirmWarning);
    QObject::connect(logForm, &TLogForm::saveRequested, main, [main] { main->SaveButtonClick(nullptr); });
    if (!outages)
        return;
    // The outage window follows the ledger as the engine keeps it.
    QObject::connect(engine, &MonitorEngine::outageRow, outages, &TOutagesForm::addRow);
    QObject::connect(engine, &MonitorEngine::outageInProgress, outages,
                     [outages](const LedgerRow& row) { outages->setInProgress(row); });
    QObject::connect(engine, &MonitorEngine::outageCleared, outages,
                     [outages] { outages->setInProgress(std::nullopt); });
}

void ConnectHistory(TMainForm* main, THistoryForm* history) {
    MonitorEngine* engine = main->Engine;
    QObject::connect(engine, &MonitorEngine::outageRow, history, &THistoryForm::addOutage);
    QObject::connect(engine, &MonitorEngine::outageInProgress, history,
                     [history](const LedgerRow& row) { history->setOutageInProgress(row); });
    QObject::connect(engine, &MonitorEngine::outageCleared, history,
                     [history] { history->setOutageInProgress(std::nullopt); });
}

void ConnectRoute(TMainForm* main, TRouteForm* route, HistoryShelf* shelf) {
    QObject::connect(main->Engine, &MonitorEngine::pathRound, route, &TRouteForm::showPath);
    if (shelf)
        QObject::connect(shelf, &HistoryShelf::flushed, route, &TRouteForm::echoesArrived);
}

void ConnectTray(TMainForm* main, TrayIcon* tray) {
    tray->windowShown = [main] { return main->isVisible() && !main->isMinimized(); };
    main->TrayShown = [tray = QPointer<TrayIcon>(tray)] { return tray && tray->isShown(); };
    QObject::connect(tray, &TrayIcon::showHideRequested, main, &TMainForm::ShowHideCommand);
    QObject::connect(tray, &TrayIcon::startRequested, main, &TMainForm::StartCommand);
    QObject::connect(tray, &TrayIcon::stopRequested, main, &TMainForm::StopCommand);
    QObject::connect(tray, &TrayIcon::outagesRequested, main, &TMainForm::OutagesCommand);
    QObject::connect(tray, &TrayIcon::historyRequested, main, &TMainForm::HistoryCommand);
    QObject::connect(tray, &TrayIcon::quitRequested, main, &TMainForm::Quit);
}

void ConnectNotices(TMainForm* main, AlertNotices* notices) {
    QObject::connect(notices, &AlertNotices::outagesRequested, main, &TMainForm::OutagesCommand);
}
