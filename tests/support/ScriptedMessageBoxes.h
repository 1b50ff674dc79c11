#pragma once

#include "seams/IMessageBoxes.h"

#include <QList>
#include <QStringList>
#include <functional>

// Message boxes answered from a script: each Ask takes the next queued
// answer (or the first offered button when none is queued) and is recorded.
class ScriptedMessageBoxes : public IMessageBoxes {
public:
    struct Shown {
        Kind kind;
        QString text;
        int buttons;
    };

    Button Ask(Kind kind, const QString& text, int buttons) override {
        shown.append({kind, text, buttons});
        if (whileShown)
            whileShown();
        if (!answers.isEmpty())
            return answers.takeFirst();
        for (Button b : {Yes, No, OK, Cancel})
            if (buttons & b)
                return b;
        return Cancel;
    }
    void ShowError(const QString& message) override {
        errors << message;
        if (whileShown)
            whileShown();
    }

    void setNextAnswer(Button answer) { answers.append(answer); }

    QList<Shown> shown;
    QList<Button> answers;
    QStringList errors;
    // Runs while each box "is on screen".
    std::function<void()> whileShown;
};
