#pragma once

#include "IShell.h"

// The desktop's handlers through QDesktopServices.
class DesktopShell : public IShell {
public:
    void Open(const QString& target) override;
    void OpenInTextEditor(const QString& path) override;
};
