#include "Forms.h"

TMainForm* MainForm = nullptr;
TLogForm* LogForm = nullptr;
TfrmWarn* frmWarn = nullptr;
