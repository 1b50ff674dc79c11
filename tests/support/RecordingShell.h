#pragma once

#include "seams/IShell.h"

#include <QStringList>

// Remembers what the program handed to the desktop.
class RecordingShell : public IShell {
public:
    bool Open(const QString& target) override {
        opened << target;
        return handlerKnown;
    }
    bool OpenInTextEditor(const QString& path) override {
        edited << path;
        return editorKnown;
    }
    QStringList opened;
    QStringList edited;
    bool handlerKnown = true;
    bool editorKnown = true;
};
