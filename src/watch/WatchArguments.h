#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The watcher's command line:
//   linkvigil-watch [--metrics [ADDR:]PORT] [--log-dir DIR] CONFIG.ini|DIR ...
//   linkvigil-watch [--log-dir DIR] --report FROM..TO CONFIG.ini OUT.pdf
// A folder stands for every "*.ini" file inside it, in name order.
struct WatchArguments {
    QString metrics;      // as given; empty without --metrics
    QString logDirectory; // where relative log names lie; empty: beside each settings file
    QStringList settingsFiles;
    bool help = false;
    // --report: the period as given, and the PDF to write.
    QString reportPeriod;
    QString reportFile;

    // Reads the arguments after the program name. On a mistake returns
    // nothing and says what is wrong in *error.
    static std::optional<WatchArguments> parse(const QStringList& arguments, QString* error);
    static QString usage();
};
