#pragma once

class TMainForm;
class TLogForm;
class TfrmWarn;
class TOutagesForm;
class THistoryForm;
class TRouteForm;
class HistoryShelf;
class TrayIcon;
class AlertNotices;

// The program's three windows, each reached through its one instance:
// created at start-up in this order and kept until the program ends.
extern TMainForm* MainForm;
extern TLogForm* LogForm;
extern TfrmWarn* frmWarn;
// The outage ledger's window, created after the three.
extern TOutagesForm* OutagesForm;
// The history's window, created after the Outages window.
extern THistoryForm* HistoryForm;
// The traced path's window, created after the History window.
extern TRouteForm* RouteForm;

// Lets the settings dialog and the warning window follow the main window's
// engine: the warning shows and hides as the engine says, its OK confirms
// it there, and the dialog's "save" answer saves the settings.
void ConnectForms(TMainForm* main, TLogForm* logForm, TfrmWarn* warn, TOutagesForm* outages = nullptr);

// The History window follows the engine's outages (it reads the newest
// echoes at each tick by itself).
void ConnectHistory(TMainForm* main, THistoryForm* history);

// The Route window shows each round of the engine's trace, and reads its
// hop's route changes again when the shelf has handed new probes to its
// writers.
void ConnectRoute(TMainForm* main, TRouteForm* route, HistoryShelf* shelf);

// The tray icon steers the main window as its own controls do, and the
// window hides in the tray only while the icon is in one.
void ConnectTray(TMainForm* main, TrayIcon* tray);
// A notification's "Show outages" opens the Outages window as the window's
// link does.
void ConnectNotices(TMainForm* main, AlertNotices* notices);
