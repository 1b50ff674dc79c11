#pragma once

#include "clock/Clock.h"
#include "log/LogFile.h"
#include "monitor/ChartCanvas.h"
#include "text/Regional.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

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
class TICMP;
class TPing;
class TTimer;

// The probe cycle's states; 4 is never used.
enum TMonitorState { Idle = 0, Resolved = 1, Waiting = 2, Resolving = 3, LookupFailed = 5 };

// What the main window takes from the desktop, or from a test.
struct MainFormServices {
    IClock* clock = nullptr;
    ISoundPlayer* sound = nullptr;
    IShell* shell = nullptr;
    IMessageBoxes* boxes = nullptr;
    // Makes the ping component (owned by the window); the system's ICMP
    // socket and resolver when unset.
    std::function<TPing*(QObject* owner)> makePing;
    QString programDirectory; // with a trailing "/"
    RegionalSettings regional;
};

// The main window: holds the monitor's state and the handlers of the probe
// cycle, the reply handling with its alerts, the chart and the log. The
// handlers live in files by concern (Probe, Reply, Chart, Log, Commands).
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
    QPushButton* StartButton;
    QPushButton* StopButton;
    QPushButton* SaveButton;
    QLabel* lbLegendTop;
    QLabel* lbLegendMid;
    QLabel* lbLegendBtm;
    TBevelPanel* Panel1;
    TChartBox* FBox;
    QStatusBar* StatusBar;

    // Non-visual components.
    TPing* Ping;
    TTimer* Timer;
    TTimer* tmRepeatFail;

    // Probe cycle.
    TMonitorState MonitorState = Idle;
    bool TickBusy = false;
    int WaitTicks = 0;
    // Reliability and alerts.
    int ReliabilityIndex = 0;
    bool ConnectionUp = true;
    double ReliabilitySum = 0;
    int ReliabilitySamples = 0;
    // Chart.
    int ChartColumn = 0;
    ChartCanvas Chart;
    // Connection log.
    bool LoggingEnabled = false;
    QString LogFileName;
    std::int32_t LogLimitBytes = 30 * 1024;
    TDateTime PeriodStart = 0;
    TDateTime PeriodEnd = 0;
    TDateTime PeriodLength = OneMinute;
    // Paths.
    QString ProgramDirectory;
    QString SettingsFileName;
    // Tool tips; Start switches them off for the rest of the run.
    bool ShowHint = true;

    // Probe cycle handlers.
    void TimerTimer();
    void cbConnectToExit();
    void PingDnsLookupDone(QObject* Sender, std::uint16_t Error);
    void edIntervalExit();
    void edTimeoutExit();
    void StartButtonClick();
    void StopButtonClick();
    // Reply handling and alerts.
    void PingEchoReply(QObject* Sender, TICMP* Icmp, int Error);
    void tmRepeatFailTimer();
    // Chart steps.
    void UpdateLegend();
    void ChartStartupFill();
    void ChartWaitingStep();
    void ChartReplyStep(bool answered, std::uint32_t roundTrip);
    // Connection log.
    void WriteLog(const QString& line);
    // LogFileName as typed; this is where it lies on disk.
    QString LogFilePath() const;
    QString ShortStamp(TDateTime moment) const;
    void LogPeriodAverage();
    void SetLogging(bool on);
    void AlignToDay();
    // Settings file.
    void LoadSettings();
    // Writes the whole settings file; with a sender, after asking.
    void SaveButtonClick(QObject* Sender);
    // Commands.
    void LoggingButtonClick();
    void InfoLabelClick();
    void lbHelpClick();
    void btnViewLogClick();

    // A message of the program's own in the status line.
    void ShowStatus(const QString& message);

    const RegionalSettings& Regional() const { return m_services.regional; }
    void SetRegional(const RegionalSettings& regional) { m_services.regional = regional; }
    IClock& Clock() const { return *m_services.clock; }
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
    void focusChanged(QWidget* old, QWidget* now);
    void setCaption(const QString& caption);
    void setRecentAddresses(const QStringList& items);
    void showAddressText(const QString& text);
    void showLegendText(QLabel* label, const QString& text);
    void runGuarded(const std::function<void()>& handler);
    void reportLog(const QString& path, const logfile::Outcome& outcome);

    static constexpr int kAddressLabelWidth = 191;
    static constexpr int kLegendRight = 47; // the legends' right edge
    MainFormServices m_services;
    bool m_logFailing = false; // reported, and not written since
    bool m_closing = false;    // the window was closed: the program is ending
};
