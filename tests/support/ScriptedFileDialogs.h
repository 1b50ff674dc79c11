#pragma once

#include "seams/IFileDialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

// Answers open-file requests from a queue (an empty answer is a cancel) and
// remembers what each request asked for.
class ScriptedFileDialogs : public IFileDialogs {
public:
    struct Call {
        QWidget* parent = nullptr;
        QString title;
        QString filter;
        QString startDirectory;
        QString proposedName;
        bool newFileAllowed = false;
    };

    QString OpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& startDirectory,
                     const QString& proposedName) override {
        calls.append({parent, title, filter, startDirectory, proposedName});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString ChooseNewOrExistingFile(QWidget* parent, const QString& title, const QString& filter,
                                    const QString& startDirectory, const QString& proposedName) override {
        calls.append({parent, title, filter, startDirectory, proposedName, true});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers;
    QList<Call> calls;
};
