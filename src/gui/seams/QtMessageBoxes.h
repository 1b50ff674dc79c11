#pragma once

#include "seams/IMessageBoxes.h"

class QWidget;

// Message boxes on the desktop (QMessageBox), with the program's captions
// and button texts.
class QtMessageBoxes : public IMessageBoxes {
public:
    Button Ask(Kind kind, const QString& text, int buttons) override;
    void ShowError(const QString& message) override;
};
