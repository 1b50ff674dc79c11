#include "TrayIcon.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

// Drawn as SVG: sharp in any tray size and at any pixel density.
QIcon pictureIcon(TrayStatus::Picture picture) {
    switch (picture) {
    case TrayStatus::Picture::Up:
        return QIcon(QStringLiteral(":/icons/tray-up.svg"));
    case TrayStatus::Picture::Down:
        return QIcon(QStringLiteral(":/icons/tray-down.svg"));
    case TrayStatus::Picture::LookingUp:
        return QIcon(QStringLiteral(":/icons/tray-lookup.svg"));
    case TrayStatus::Picture::Idle:
        break;
    }
    return QIcon(QStringLiteral(":/icons/tray-idle.svg"));
}

} // namespace

TrayIcon::TrayIcon(TrayStatus& status, QObject* parent)
    : QObject(parent), m_status(status), m_menu(new QMenu), m_icon(new QSystemTrayIcon(this)) {
    m_showHide = m_menu->addAction(QStringLiteral("Hide window"), this, &TrayIcon::showHideRequested);
    m_menu->addSeparator();
    m_start = m_menu->addAction(QStringLiteral("Start"), this, &TrayIcon::startRequested);
    m_stop = m_menu->addAction(QStringLiteral("Stop"), this, &TrayIcon::stopRequested);
    m_menu->addAction(QStringLiteral("Outages"), this, &TrayIcon::outagesRequested);
    m_menu->addAction(QStringLiteral("History"), this, &TrayIcon::historyRequested);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit"), this, &TrayIcon::quitRequested);
    connect(m_menu, &QMenu::aboutToShow, this, &TrayIcon::updateMenu);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit showHideRequested();
    });
    connect(&m_status, &TrayStatus::changed, this, &TrayIcon::refresh);
    refresh();
}

// The menu has no parent widget to go with: it goes with the icon.
TrayIcon::~TrayIcon() {
    delete m_icon;
    delete m_menu;
}

bool TrayIcon::trayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show() {
    m_icon->show();
}

bool TrayIcon::isShown() const {
    return m_icon->isVisible() && trayAvailable();
}

void TrayIcon::refresh() {
    const auto picture = m_status.picture();
    // A new picture only when it changes: some trays flicker on each one.
    if (int(picture) != m_picture) {
        m_picture = int(picture);
        m_icon->setIcon(pictureIcon(picture));
    }
    m_icon->setToolTip(m_status.toolTip());
    updateMenu();
}

void TrayIcon::updateMenu() {
    const bool shown = windowShown && windowShown();
    m_showHide->setText(shown ? QStringLiteral("Hide window") : QStringLiteral("Show window"));
    m_start->setEnabled(!m_status.running());
    m_stop->setEnabled(m_status.running());
}
