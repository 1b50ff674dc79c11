#pragma once

#include <QWidget>

class IFileDialogs;
class QLineEdit;
class QToolButton;

// An edit field for a file name with a small browse button at its right end.
// The button, or Alt+Down in the field, opens the open-file dialog (or, for a
// file that may be new, the save-style one); a chosen
// path that contains a blank is put in double quotation marks. The field can
// refuse typing, so that the name only changes through the dialog.
class TFileNameEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged USER true)
public:
    explicit TFileNameEdit(IFileDialogs* fileDialogs, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    // In the form "Sound files (*.wav)|*.wav|All files (*.*)|*.*".
    QString filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    bool typingAllowed() const;
    void setTypingAllowed(bool allowed);
    // Whether browsing may name a file that does not exist yet.
    bool newFileAllowed() const { return m_newFileAllowed; }
    void setNewFileAllowed(bool allowed) { m_newFileAllowed = allowed; }

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* browseButton() const { return m_button; }

    // The name without surrounding quotation marks.
    static QString unquoted(const QString& name);
    // The path as the field shows it: quoted when it holds a blank.
    static QString quotedIfBlank(const QString& path);

public slots:
    void browse();

signals:
    void textChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString startDirectory(const QString& name) const;

    IFileDialogs* m_fileDialogs;
    QLineEdit* m_edit;
    QToolButton* m_button;
    QString m_filter;
    bool m_newFileAllowed = false;
};
