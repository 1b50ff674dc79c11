#pragma once

#include <QString>

// Hands documents, web addresses and files to the desktop, without waiting.
class IShell {
public:
    virtual ~IShell() = default;
    // Opens a web address or a file (full path) with the desktop's handler.
    // Returns false when no handler could be started; what the handler
    // does after it has started is not waited for.
    virtual bool Open(const QString& target) = 0;
    // Starts the desktop's plain-text editor with the file (full path), also
    // when it does not exist yet. Returns false when no text editor is known
    // or it could not be started.
    virtual bool OpenInTextEditor(const QString& path) = 0;
};
