#pragma once

#include "seams/IShell.h"

#include <QStringList>

// Remembers what the program handed to the desktop.
class RecordingShell : public IShell {
public:
    void Open(const QString& target) override { opened << target; }
    bool OpenInTextEditor(const QString& path) override {
        edited << path;
        return editorKnown;
    }
    QStringList opened;
    QStringList edited;
    bool editorKnown = true;
};
