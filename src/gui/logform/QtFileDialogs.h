#pragma once

#include "seams/IFileDialogs.h"

// The open-file dialog, shown by Qt itself so it looks the same on every desktop.
class QtFileDialogs : public IFileDialogs {
public:
    QString OpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& startDirectory,
                     const QString& proposedName) override;
    QString ChooseNewOrExistingFile(QWidget* parent, const QString& title, const QString& filter,
                                    const QString& startDirectory, const QString& proposedName) override;

    // Turns "Desc (*.a)|*.a|Desc2 (*.*)|*.*" into Qt's "Desc (*.a);;Desc2 (*)".
    static QString toQtFilter(const QString& filter);

private:
    static QString choose(QWidget* parent, const QString& title, const QString& filter, const QString& startDirectory,
                          const QString& proposedName, bool newFileAllowed);
};
