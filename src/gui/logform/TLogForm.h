#pragma once

#include <QDialog>

#include <functional>

class IFileDialogs;
class MonitorEngine;
struct MonitorOptions;
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

// The settings dialog: warning sounds and the connection log. Its controls
// are the live store of the alert and log options: each change is handed to
// the engine at once and used at its next reply; only logging, the
// averaging period and the size limit wait for OK. There is no Cancel: Escape does nothing, the close box
// leaves without OK.
class TLogForm : public QDialog {
    Q_OBJECT
public:
    // Without an engine (tests of the dialog alone) OK changes nothing.
    TLogForm(QWidget* parent, MonitorEngine* engine, ISoundPlayer* sound, IFileDialogs* fileDialogs);

    // The repeat interval of the warning sound, 1..1000 seconds.
    int RepeatIntervalSeconds() const;

    // Fills the controls from the engine's settings.
    void FormCreate();
    // The options as the controls show them.
    MonitorOptions Options() const;

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
    // Below the log details and above the OK button, which stays at the
    // bottom of the dialog; every control above keeps its place.
    QGroupBox* gbDesktop;
    QCheckBox* chMinimiseToTray;
    QLabel* lbNoTray;
    QCheckBox* chNotifications;
    QCheckBox* chPreferIPv6;
    QCheckBox* chTracePath;

    // Without a tray the tray setting is greyed out, with a hint saying why.
    void SetTrayAvailable(bool available);
    // Asked each time the dialog is shown, since a tray may come and go.
    std::function<bool()> TrayAvailable;

public slots:
    void chUseLoggingClick();
    void chSoundFailClick();
    void chSoundBackClick();
    void btnTestSound1Click();
    void btnTestSound2Click();
    void btOKClick();

signals:
    // "Do you want to permanently save the changes?" was answered Yes.
    void saveRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void FormActivate();

private:
    void okProcessing();
    void createControls(IFileDialogs* fileDialogs);
    void placeControls();
    void fitCaptions();
    // The width a caption may take before the next control on its row, or
    // before the edge of its parent.
    int roomFor(const QWidget* widget) const;
    void orderTabs();
    void connectControls();
    // Hands the engine the options whenever a control changes.
    void pushOptions();

    static constexpr int captionMargin = 4;
    static constexpr int minimumStretch = 75;
    ISoundPlayer* m_sound;
    MonitorEngine* m_engine;
    bool m_filling = false;
};
