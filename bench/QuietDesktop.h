#pragma once

#include "seams/IFileDialogs.h"
#include "seams/IMessageBoxes.h"
#include "seams/IShell.h"
#include "seams/ISoundPlayer.h"

#include <QString>

#include <cstdio>

// The desktop for a benchmark: no sound, nothing opened, every question
// answered OK, errors on standard error.
struct QuietDesktop : ISoundPlayer, IShell, IMessageBoxes, IFileDialogs {
    void PlaySound(const QString&) override {}
    bool Open(const QString&) override { return true; }
    bool OpenInTextEditor(const QString&) override { return true; }
    Button Ask(Kind, const QString&, int) override { return OK; }
    void ShowError(const QString& m) override { std::fprintf(stderr, "error: %s\n", qPrintable(m)); }
    QString OpenFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseNewOrExistingFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
};
