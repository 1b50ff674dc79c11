#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The warning window: stays on top of other windows and offers no close
// button; only OK confirms the warning, stops the repeating sound and hides
// it. Centred the first time it is shown, later where the user left it.
class TfrmWarn : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWarn(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* Label1;
    QLabel* lbMessage;
    QPushButton* btnOK;

    // Shows the window with the message, without waiting for it.
    void ShowWarning(const QString& message);
    void btnOKClick();

signals:
    // OK was pressed: the warning is confirmed.
    void confirmed();

public slots:
    // Escape and the window manager's close do not dismiss the warning.
    void reject() override {}

private:
    bool m_placed = false;
};
