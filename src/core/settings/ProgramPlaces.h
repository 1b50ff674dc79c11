#pragma once

#include <QString>

#include <functional>

// Where the window keeps its settings file and, by default, its log, its
// outage ledger and its history. Portable, as ever, when the program's own
// folder may be written to or already holds a Linkvigil.ini: everything
// lies beside the executable. Otherwise (an installed program, in a
// system folder) the settings file is $XDG_CONFIG_HOME/linkvigil/
// Linkvigil.ini (default ~/.config/linkvigil/) and the rest goes to
// $XDG_STATE_HOME/linkvigil/ (default ~/.local/state/linkvigil/), where a
// relative log name is taken from.
struct ProgramPlaces {
    QString programDirectory;  // with a trailing "/"
    QString settingsDirectory; // likewise
    QString dataDirectory;     // likewise
    bool portable = true;
    QString reason; // why, in a sentence

    QString settingsFile() const;

    using Environment = std::function<QString(const char* name)>;
    // The places for a program in `programDirectory`; `environment` reads
    // the environment (the process's own unless given).
    static ProgramPlaces find(const QString& programDirectory, const Environment& environment = {});
    // Makes the folders that are missing, with the user's umask; false
    // with the reason in `error` when one cannot be made.
    bool makeFolders(QString* error) const;
};
