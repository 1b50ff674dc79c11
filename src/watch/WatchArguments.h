#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The watcher's command line:
//   linkvigil-watch [--metrics [ADDR:]PORT] [--log-dir DIR] CONFIG.ini|DIR ...
//   linkvigil-watch [--log-dir DIR] --report FROM..TO CONFIG.ini OUT.pdf
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

    // Reads the arguments after the program name. On a mistake returns
    // nothing and says what is wrong in *error. The entries of folders left
    // out go into *skipped, a line each ("DIR/x.ini: skipped, it is a FIFO"),
    // whether or not there is a mistake. A stop signal waiting ends the
    // reading of a folder early, with nothing returned and *error empty.
    static std::optional<WatchArguments> parse(const QStringList& arguments, QString* error,
                                               QStringList* skipped = nullptr);
    static QString usage();
};
