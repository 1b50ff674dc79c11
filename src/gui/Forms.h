#pragma once

class TMainForm;
class TLogForm;
class TfrmWarn;
class TOutagesForm;

// The program's three windows, each reached through its one instance:
// created at start-up in this order and kept until the program ends.
extern TMainForm* MainForm;
extern TLogForm* LogForm;
extern TfrmWarn* frmWarn;
// The outage ledger's window, created after the three.
extern TOutagesForm* OutagesForm;

// Lets the settings dialog and the warning window follow the main window's
// engine: the warning shows and hides as the engine says, its OK confirms
// it there, and the dialog's "save" answer saves the settings.
void ConnectForms(TMainForm* main, TLogForm* logForm, TfrmWarn* warn, TOutagesForm* outages = nullptr);
