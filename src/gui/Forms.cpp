#include "Forms.h"
#include "logform/TLogForm.h"
#include "mainform/TMainForm.h"
#include "warnform/TfrmWarn.h"

TMainForm* MainForm = nullptr;
TLogForm* LogForm = nullptr;
TfrmWarn* frmWarn = nullptr;

void ConnectForms(TMainForm* main, TLogForm* logForm, TfrmWarn* warn) {
    MonitorEngine* engine = main->Engine;
    QObject::connect(engine, &MonitorEngine::warningRaised, warn, &TfrmWarn::ShowWarning);
    QObject::connect(engine, &MonitorEngine::warningCleared, warn, &QWidget::hide);
    QObject::connect(warn, &TfrmWarn::confirmed, engine, &MonitorEngine::ConfirmWarning);
    QObject::connect(logForm, &TLogForm::saveRequested, main, [main] { main->SaveButtonClick(nullptr); });
}
