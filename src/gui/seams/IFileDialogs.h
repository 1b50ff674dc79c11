#pragma once

#include <QString>

class QWidget;

// The open-file dialog behind the file-name fields' browse buttons.
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // Shows an open-file dialog titled `title` with `filter` in the form
    // "Sound files (*.wav)|*.wav|All files (*.*)|*.*", starting in
    // `startDirectory` (empty: the dialog's own choice) and proposing
    // `proposedName`. Returns the chosen file's full path, or an empty text
    // when the user cancelled.
    virtual QString OpenFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& startDirectory, const QString& proposedName) = 0;
    // The same, but the name may be one that does not exist yet (a file to
    // be created); choosing an existing file asks no confirmation.
    virtual QString ChooseNewOrExistingFile(QWidget* parent, const QString& title, const QString& filter,
                                            const QString& startDirectory, const QString& proposedName) = 0;
};
