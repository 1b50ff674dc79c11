#pragma once

#include <QString>

// Modal questions and messages, behind an interface so that tests can answer
// them without a dialog ever waiting for input.
class IMessageBoxes {
public:
    // The kinds decide caption and symbol: "Information", "Confirm", "Error",
    // or the application's title for a plain message.
    enum class Kind { Information, Confirmation, Error, Plain };
    enum Button { OK = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    virtual ~IMessageBoxes() = default;
    // Shows the message with the given buttons (an or-combination of Button)
    // and returns the button pressed; closing the box counts as Cancel (or as
    // the only button, when there is just one).
    virtual Button Ask(Kind kind, const QString& text, int buttons) = 0;
    // The application's error box: error symbol, the application's title as
    // caption, one OK button.
    virtual void ShowError(const QString& message) = 0;
};
