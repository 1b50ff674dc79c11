#pragma once

#include "engine/MonitorEngine.h"
#include "history/HistoryOptions.h"
#include "monitor/ChartCanvas.h"
#include "text/Regional.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class IClock;
class IMessageBoxes;
class IShell;
class ISoundPlayer;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class TBevelPanel;
class TChartBox;
class TGauge;
class TPing;

// What the main window takes from the desktop, or from a test.
struct MainFormServices {
    IClock* clock = nullptr;
    ISoundPlayer* sound = nullptr;
    IShell* shell = nullptr;
    IMessageBoxes* boxes = nullptr;
    // Makes the engine's ping component; the system's ICMP socket and
    // resolver when unset.
    std::function<TPing*(QObject* owner)> makePing;
    QString programDirectory; // with a trailing "/"
    // The settings file's folder, and the folder of the default log (where
    // a relative log name is taken from); the program's folder when empty.
    QString settingsDirectory;
    QString dataDirectory;
    RegionalSettings regional;
    // For the outage ledger; see EngineServices.
    IStopwatch* stopwatch = nullptr;
    IRouteSource* routes = nullptr;
    std::function<std::unique_ptr<IAsyncEcho>()> makeProbeChannel;
};

// The main window: a view of one monitor engine. It shows the engine's
// caption, gauge, address, status, chart and alerts, and hands it what the
// user types and presses. Its parts live in files by concern (View, Chart,
// Settings, Commands).
class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(const MainFormServices& services, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls.
    QLabel* Label1;
    QComboBox* cbConnectTo;
    QLabel* IPlabel;
    QLabel* Label2;
    QLineEdit* edInterval;
    QLabel* Label3;
    QLineEdit* edTimeout;
    QPushButton* btnViewLog;
    QPushButton* LoggingButton;
    QLabel* Label7;
    TGauge* ggReliab;
    QLabel* lbHelp;
    QLabel* InfoLabel;
    QLabel* lbOutages;
    QLabel* lbHistory;
    QLabel* lbRoute;
    QPushButton* StartButton;
    QPushButton* StopButton;
    QPushButton* SaveButton;
    QLabel* lbLegendTop;
    QLabel* lbLegendMid;
    QLabel* lbLegendBtm;
    TBevelPanel* Panel1;
    TChartBox* FBox;
    QStatusBar* StatusBar;

    // The engine this window shows and steers (owned by the window).
    MonitorEngine* Engine;
    // The chart as the engine's steps drew it.
    ChartCanvas Chart;
    // Paths.
    QString ProgramDirectory;
    QString SettingsFileName;
    // Where the settings file asks the metrics to be served; empty: nowhere.
    QString MetricsListen;
    // Where the Outages window goes when first shown, from the settings file.
    QString OutagesGeometry;
    // What the settings file asks of the history; none: no echo is kept.
    std::optional<HistoryOptions> History;
    // Tool tips; Start switches them off for the rest of the run.
    bool ShowHint = true;

    // The fields' exit handlers and the buttons: they hand the engine the
    // user's choices.
    void cbConnectToExit();
    void edIntervalExit();
    void edTimeoutExit();
    void StartButtonClick();
    void StopButtonClick();
    void UpdateLegend();
    // Settings file.
    void LoadSettings();
    // Writes the whole settings file; with a sender, after asking.
    void SaveButtonClick(QObject* Sender);
    // Commands.
    void LoggingButtonClick();
    void InfoLabelClick();
    void lbHelpClick();
    void btnViewLogClick();
    void lbOutagesClick();
    void lbHistoryClick();
    void lbRouteClick();

    // A message of the program's own in the status line.
    void ShowStatus(const QString& message);

    // The tray's and the notifications' commands (TMainForm_Tray.cpp): each
    // does what the window's own control does.
    void StartCommand();
    void StopCommand();
    void OutagesCommand();
    void HistoryCommand();
    // Shows the window when it is hidden or minimised, else hides it.
    void ShowHideCommand();
    // Ends the program as closing the window does where it is not hidden in
    // the tray instead.
    void Quit();
    // Whether a tray shows the program's icon, so that closing the window
    // may hide it there; unset: no tray.
    std::function<bool()> TrayShown;

    const RegionalSettings& Regional() const { return Engine->Regional(); }
    IMessageBoxes& Boxes() const { return *m_services.boxes; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The user's separators are read again when the desktop announces a change.
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void FormCreate();
    // Where the default log lies and a relative log name is taken from.
    QString dataDirectory() const {
        return m_services.dataDirectory.isEmpty() ? m_services.programDirectory : m_services.dataDirectory;
    }
    void focusChanged(QWidget* old, QWidget* now);
    void setCaption(const QString& caption);
    void setRecentAddresses(QStringList items);
    void showAddressText(const QString& text);
    void showLegendText(QLabel* label, const QString& text);
    void runGuarded(const std::function<void()>& handler);
    // Shows what the engine signals.
    void followEngine();
    void showRunning(bool running);
    void showReplyStep(int column, int waitTicks, bool answered, std::uint32_t roundTrip, int timeout);
    // Closing hides the window in the tray: the settings ask for it, a
    // tray is there, and neither Quit nor the desktop's session end asked.
    bool closeHidesInTray() const;
    void hideInTray();

    static constexpr int kAddressLabelWidth = 191;
    static constexpr int kLegendRight = 47; // the legends' right edge
    MainFormServices m_services;
    bool m_quitting = false;
};
