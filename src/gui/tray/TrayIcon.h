#pragma once

#include "TrayStatus.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The status icon in the desktop's tray: the picture and tool tip of a
// TrayStatus, a click that shows or hides the main window, and a menu with
// the window's commands. It only asks for them; whoever connects it to the
// window carries them out. Where the desktop has no tray nothing shows.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(TrayStatus& status, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a tray to show an icon in.
    static bool trayAvailable();
    // Shows the icon; it appears whenever the desktop has a tray.
    void show();
    // The icon is in a tray now.
    bool isShown() const;

    // Tells the menu whether the window is on screen ("Hide window") or not.
    std::function<bool()> windowShown;

    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }
    QAction* showHideAction() const { return m_showHide; }
    QAction* startAction() const { return m_start; }
    QAction* stopAction() const { return m_stop; }

signals:
    void showHideRequested();
    void startRequested();
    void stopRequested();
    void outagesRequested();
    void historyRequested();
    void quitRequested();

private:
    void refresh();
    void updateMenu();

    TrayStatus& m_status;
    QMenu* m_menu;
    QSystemTrayIcon* m_icon;
    QAction* m_showHide;
    QAction* m_start;
    QAction* m_stop;
    int m_picture = -1;
};
