#pragma once

#include <QString>

// Hands documents, web addresses and files to the desktop, without waiting
// and without reporting anything.
class IShell {
public:
    virtual ~IShell() = default;
    // Opens a web address or a file (full path) with the desktop's handler.
    virtual void Open(const QString& target) = 0;
    // Opens a file in the desktop's plain-text editor.
    virtual void OpenInTextEditor(const QString& path) = 0;
};
