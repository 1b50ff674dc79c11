#pragma once

#include "Forms.h"
#include "logform/TLogForm.h"
#include "mainform/TMainForm.h"
#include "warnform/TfrmWarn.h"

// The program's three windows for a benchmark, made in the start-up order
// and reachable through their global pointers while they live.
struct BenchWindows {
    TMainForm main;
    TLogForm logForm;
    TfrmWarn warn;

    BenchWindows(const MainFormServices& services, ISoundPlayer* sound, IFileDialogs* fileDialogs)
        : main(services), logForm((MainForm = &main), main.Engine, sound, fileDialogs) {
        LogForm = &logForm;
        frmWarn = &warn;
        ConnectForms(&main, &logForm, &warn);
    }
    BenchWindows(const BenchWindows&) = delete;
    BenchWindows& operator=(const BenchWindows&) = delete;
    ~BenchWindows() {
        frmWarn = nullptr;
        LogForm = nullptr;
        MainForm = nullptr;
    }
};
