#pragma once

class TMainForm;
class TLogForm;
class TfrmWarn;

// The program's three windows, each reached through its one instance:
// created at start-up in this order and kept until the program ends.
extern TMainForm* MainForm;
extern TLogForm* LogForm;
extern TfrmWarn* frmWarn;
