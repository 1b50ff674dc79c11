#pragma once

#include "clock/Clock.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class TIniFile;

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
    bool LogChanges = true;
    bool LogAverages = true;
    QString PeriodAmount = QStringLiteral("10");
    std::int32_t PeriodType = 0;
    bool LimitLogfile = true;
    QString LogfileLimitKb = QStringLiteral("30");
    // Lost echoes in a row that make an outage (at least 1); set by hand,
    // kept by a save.
    std::int32_t OutageEchoes = 2;
    // [WarningSound]
    bool SoundFail = true;
    QString FailFile = QStringLiteral("Carbrake.wav");
    bool RepeatWarn = false;
    std::int32_t RepeatInterval = 10;
    bool SoundBack = true;
    QString BackFile = QStringLiteral("Chimes.wav");
    // [Metrics]: where to serve the metrics, "ADDR:PORT"; empty for nowhere.
    QString MetricsListen;

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
