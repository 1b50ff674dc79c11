#pragma once

#include "clock/Clock.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class TIniFile;

// The settings dialog's alert and log options, as the settings file keeps
// them and as a front end hands them to the engine whenever they change
// (they take effect at the next reply).
struct MonitorOptions {
    // [Logging]
    bool LogChanges = true;
    bool LogAverages = true;
    // Kept as typed, for the settings file.
    QString PeriodAmount = QStringLiteral("10");
    std::int32_t PeriodType = 0;
    bool LimitLogfile = true;
    QString LogfileLimitKb = QStringLiteral("30");
    // [WarningSound]
    bool SoundFail = true;
    QString FailFile = QStringLiteral("Carbrake.wav");
    bool RepeatWarn = false;
    std::int32_t RepeatIntervalSeconds = 10; // 1..1000
    bool SoundBack = true;
    QString BackFile = QStringLiteral("Chimes.wav");
    // [Ping]: a name with addresses of both families is watched over IPv6.
    bool PreferIPv6 = false;
    // [Desktop]: closing the main window hides it in the tray (where there
    // is one) instead of ending the program; alerts also go to the
    // desktop's notifications.
    bool MinimiseToTray = false;
    bool DesktopNotifications = true;
    // [Trace]: the path to the host is traced hop by hop, one round per
    // TraceIntervalMs (0: the echo interval; at least 1000 either way).
    // Off unless asked for: it sends up to 30 times the echoes.
    bool TraceEnabled = false;
    std::int32_t TraceIntervalMs = 0;
};

// Everything the settings file "Linkvigil.ini" holds, with each key's
// default in one place. The window, its settings dialog and the headless
// watcher all read and write the file through this.
struct MonitorProfile {
    // [Addresses]: the recent hosts, the one to watch first.
    QStringList Addresses;
    // [Ping]
    std::int32_t Interval = 1000;
    std::int32_t Timeout = 1000;
    // [Logging]
    bool UseLogging = false;
    QString LogFile; // as written; relative names are relative to the log folder
    TDateTime Period = OneMinute;
    // Lost echoes in a row that make an outage (at least 1); set by hand,
    // kept by a save.
    std::int32_t OutageEchoes = 2;
    // The dialog's keys of [Logging] and [WarningSound].
    MonitorOptions Options;
    // [Metrics]: where to serve the metrics, "ADDR:PORT"; empty for nowhere.
    QString MetricsListen;
    // [History], set by hand and never written: whether every echo is kept,
    // and for how many days (each minute's summary stays 400 days).
    bool HistoryEnabled = true;
    std::int32_t HistoryKeepDays = 35;
    // [Desktop]: where the Outages window was, "X,Y,WIDTH,HEIGHT"; empty
    // until it has been shown, and then not written.
    QString OutagesWindow;

    // Reads every key: first the main window's (addresses, probe, logging,
    // period, size limit), then the dialog's. A missing log name is
    // `defaultLogFile`.
    static MonitorProfile Load(const TIniFile& ini, const QString& defaultLogFile, QChar decimalSeparator);
    // Writes every key, in the order the settings file has always had.
    void Save(TIniFile& ini, QChar decimalSeparator) const;

    // The size limit in bytes; text that is no number gives the default
    // limit and the conversion's message in *error.
    std::int32_t LimitBytes(QString* error) const;
};
