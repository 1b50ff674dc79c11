#pragma once

#include "history/HistoryExport.h"

#include <QString>
#include <QStringList>

#include <optional>

// The watcher's command line:
//   linkvigil-watch [--metrics [ADDR:]PORT] [--log-dir DIR] CONFIG.ini|DIR ...
//   linkvigil-watch [--log-dir DIR] --report FROM..TO CONFIG.ini OUT.pdf
//   linkvigil-watch [--log-dir DIR] --export FROM..TO CONFIG.ini [OUT] [--format csv|jsonl]
// --export writes the echoes kept in the history of the settings file's host
// for the period, as CSV or JSON lines, to OUT or (without OUT, or with "-")
// to standard output; without --format, an OUT ending in ".jsonl" or ".json"
// asks for JSON lines. --report and --export take no --metrics.
// A folder stands for every "*.ini" file inside it, in name order; one that
// cannot be a settings file (a FIFO, a folder, a link loop, an unreadable
// file) is left out and named. A file reached by two paths is watched once.
struct WatchArguments {
    QString metrics;      // as given; empty without --metrics
    QString logDirectory; // where relative log names lie; empty: beside each settings file
    QStringList settingsFiles;
    bool help = false;
    // --report: the period as given, and the PDF to write.
    QString reportPeriod;
    QString reportFile;
    // --export: the period and --format as given, and where to write
    // (empty or "-": standard output).
    QString exportPeriod;
    QString exportFormatName;
    QString exportFile;

    bool exportToStandardOutput() const { return exportFile.isEmpty() || exportFile == u"-"; }
    // The format --format names, else the one OUT's name asks for; nothing
    // for a --format it does not know.
    std::optional<history::ExportFormat> exportFormat() const;

    // Reads the arguments after the program name. On a mistake returns
    // nothing and says what is wrong in *error. The entries of folders left
    // out go into *skipped, a line each ("DIR/x.ini: skipped, it is a FIFO"),
    // whether or not there is a mistake. A stop signal waiting ends the
    // reading of a folder early, with nothing returned and *error empty.
    static std::optional<WatchArguments> parse(const QStringList& arguments, QString* error,
                                               QStringList* skipped = nullptr);
    static QString usage();
};
