#pragma once

#include "IShell.h"

// The desktop's handlers through QDesktopServices.
class DesktopShell : public IShell {
public:
    bool Open(const QString& target) override;
    bool OpenInTextEditor(const QString& path) override;
};
