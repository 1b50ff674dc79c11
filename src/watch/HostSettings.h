#pragma once

#include "settings/MonitorProfile.h"

#include <QString>

#include <optional>

// One watched host as its settings file describes it, checked for what the
// watcher cannot go on without: a readable file, a host, numbers where
// numbers belong.
struct HostSettings {
    QString file;         // absolute path of the settings file
    QString logDirectory; // where a relative log name lies, with a trailing "/"
    MonitorProfile profile;

    QString host() const { return profile.Addresses.value(0); }
    // The log's path on disk.
    QString logPath() const;
    // The same with every link resolved, so that two names of one file (a
    // linked folder, a link to the log) are equal; for a log not made yet,
    // its folder's links.
    QString canonicalLogPath() const;

    // Why `path` cannot be a settings file ("it is a FIFO", "it cannot be
    // read (Permission denied)"), or empty when it is a readable regular
    // file. Only regular files are ever opened, so a FIFO cannot block.
    static QString unusable(const QString& path);

    // Reads `file`; relative log names lie in `logDirectory` when given,
    // else beside the file. On a problem returns nothing and says what it
    // is in *error (the caller names the file).
    static std::optional<HostSettings> load(const QString& file, const QString& logDirectory, QChar decimalSeparator,
                                            QString* error);
};
