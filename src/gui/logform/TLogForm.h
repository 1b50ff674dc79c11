#pragma once

#include <QDialog>

#include <functional>

class IFileDialogs;
class ISoundPlayer;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TFileNameEdit;
class TSpinEdit;

// The settings dialog: warning sounds and the connection log. It only holds
// and shows the choices; the main window fills it in and reads it back in
// OnOK. There is no Cancel: Escape does nothing, the close box leaves
// without OK.
class TLogForm : public QDialog {
    Q_OBJECT
public:
    TLogForm(QWidget* parent, ISoundPlayer* sound, IFileDialogs* fileDialogs);

    // The repeat interval of the warning sound, 1..1000 seconds.
    int RepeatIntervalSeconds() const;

    // Runs after OK has closed the dialog with the Accepted result.
    std::function<void()> OnOK;

    QCheckBox* chSoundFail;
    TFileNameEdit* edSoundFail;
    QToolButton* btnTestSound1;
    QCheckBox* chbRepeatWarn;
    QLabel* Label2;
    TSpinEdit* seRepeatInterval;
    QLabel* Label4;
    QCheckBox* chSoundBack;
    TFileNameEdit* edSoundBack;
    QToolButton* btnTestSound2;
    QCheckBox* chUseLogging;
    QGroupBox* gbDetails;
    QLabel* Label1;
    TFileNameEdit* edLogFile;
    QCheckBox* chLogChanges;
    QCheckBox* chLogAverages;
    QLineEdit* edPeriod;
    QComboBox* cbPeriod;
    QCheckBox* chLimitKb;
    QLineEdit* edLimitKb;
    QLabel* Label3;
    QPushButton* btOK;

public slots:
    void chUseLoggingClick();
    void chSoundFailClick();
    void chSoundBackClick();
    void btnTestSound1Click();
    void btnTestSound2Click();
    void btOKClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls(IFileDialogs* fileDialogs);
    void placeControls();
    void fitCaptions();
    // The width a caption may take before the next control on its row, or
    // before the edge of its parent.
    int roomFor(const QWidget* widget) const;
    void orderTabs();
    void connectControls();

    static constexpr int captionMargin = 4;
    static constexpr int minimumStretch = 75;
    ISoundPlayer* m_sound;
};
