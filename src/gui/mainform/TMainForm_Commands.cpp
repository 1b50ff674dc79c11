// The main window's commands beside the monitoring itself.

#include "Forms.h"
#include "TMainForm.h"
#include "history/HistoryFile.h"
#include "history/THistoryForm.h"
#include "ledger/LedgerFile.h"
#include "logform/TLogForm.h"
#include "outages/TOutagesForm.h"
#include "route/TRouteForm.h"
#include "seams/IMessageBoxes.h"
#include "seams/IShell.h"

#include <QFileInfo>

void TMainForm::LoggingButtonClick() {
    // Modal, but the timers go on: probes and alerts continue meanwhile.
    LogForm->exec();
}

void TMainForm::InfoLabelClick() {
    m_services.shell->Open(ProgramDirectory + QStringLiteral("linkvigil.html"));
}

void TMainForm::lbHelpClick() {
    const QString help = ProgramDirectory + QStringLiteral("linkvigil.pdf");
    if (!QFileInfo::exists(help)) {
        Boxes().Ask(IMessageBoxes::Kind::Error, QStringLiteral("Unable to find help file!"), IMessageBoxes::OK);
        return;
    }
    // By its full path: started from a menu, the current folder is the home
    // folder, where a bare name would not be found. Without a program for
    // PDF documents the desktop only complains on stderr, so say so here.
    if (!m_services.shell->Open(help))
        Boxes().Ask(IMessageBoxes::Kind::Error,
                    QStringLiteral("No program is set up on this desktop to show the help file %1.\r\n"
                                   "Choose a default application for PDF documents (application/pdf).")
                        .arg(help),
                    IMessageBoxes::OK);
}

void TMainForm::btnViewLogClick() {
    const QString path = Engine->LogFilePath();
    if (!m_services.shell->OpenInTextEditor(path))
        Boxes().Ask(IMessageBoxes::Kind::Error,
                    QStringLiteral("No text editor is set up on this desktop to show the log %1.\r\n"
                                   "Choose a default application for plain text files (text/plain).")
                        .arg(path),
                    IMessageBoxes::OK);
}

void TMainForm::lbHistoryClick() {
    if (!HistoryForm)
        return;
    const QString log = Engine->LogFilePath();
    HistoryForm->open(HistoryFile::pathForLog(log), LedgerFile::ledgerPath(log), Engine->Host);
    HistoryForm->show();
    HistoryForm->raise();
    HistoryForm->activateWindow();
}

void TMainForm::lbRouteClick() {
    if (!RouteForm)
        return;
    RouteForm->open(HistoryFile::pathForLog(Engine->LogFilePath()), Engine->Host, Engine->Options().TraceEnabled);
    RouteForm->show();
    RouteForm->raise();
    RouteForm->activateWindow();
}

void TMainForm::lbOutagesClick() {
    if (!OutagesForm)
        return;
    OutagesForm->setLedger(LedgerFile::ledgerPath(Engine->LogFilePath()), Engine->Host);
    OutagesForm->setProbing(Engine->Host, Engine->Interval(), Engine->Timeout());
    if (!OutagesForm->placed())
        OutagesForm->setGeometryText(OutagesGeometry);
    OutagesForm->show();
    OutagesForm->raise();
    OutagesForm->activateWindow();
}
