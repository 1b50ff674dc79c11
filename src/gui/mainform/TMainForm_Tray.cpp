// The window's commands for the tray icon and the notifications, and its
// place in the tray when closed.

#include "TMainForm.h"
#include "engine/MonitorEngine.h"

#include <QGuiApplication>
#include <QPushButton>

// Start and Stop as their buttons, which are enabled only when they apply.
void TMainForm::StartCommand() {
    if (StartButton->isEnabled())
        StartButton->click();
}

void TMainForm::StopCommand() {
    if (StopButton->isEnabled())
        StopButton->click();
}

void TMainForm::HistoryCommand() {
    runGuarded([this] { lbHistoryClick(); });
}

void TMainForm::OutagesCommand() {
    runGuarded([this] { lbOutagesClick(); });
}

void TMainForm::ShowHideCommand() {
    if (isVisible() && !isMinimized()) {
        hideInTray();
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void TMainForm::Quit() {
    m_quitting = true;
    close();
}

bool TMainForm::closeHidesInTray() const {
    return !m_quitting && Engine->Options().MinimiseToTray && TrayShown && TrayShown();
}

// With the window in the tray, closing the last window still on screen (the
// warning, the outages) must not end the program: only closing this window
// does, and it does so itself.
void TMainForm::hideInTray() {
    QGuiApplication::setQuitOnLastWindowClosed(false);
    hide();
}
