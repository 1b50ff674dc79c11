#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Finds the desktop's default application for plain text (text/plain) as
// desktops do, and builds its command line for one file. The file is always
// handed over as a single argument of that program: it is never given to a
// shell, nor to a handler chosen by its name or contents.
namespace texteditor {

struct Command {
    QString program;
    QStringList arguments;
};

// The folders and desktop names of the freedesktop.org base directories.
struct XdgDirs {
    QStringList configDirs; // $XDG_CONFIG_HOME first, then $XDG_CONFIG_DIRS
    QStringList dataDirs;   // $XDG_DATA_HOME first, then $XDG_DATA_DIRS
    QStringList desktops;   // $XDG_CURRENT_DESKTOP, lower case
    static XdgDirs fromEnvironment();
};

// The command that opens `path` in the default text editor: the first
// installed application of the text/plain defaults in the mimeapps.list
// files, then of their added associations, then of the application folders'
// caches. An editor that runs in a terminal is started in the desktop's
// terminal emulator. Empty when no usable editor is known.
std::optional<Command> commandFor(const XdgDirs& dirs, const QString& path);

// Splits a desktop entry's Exec value into program and arguments, with its
// file field codes standing for `path` (appended when there is none).
std::optional<Command> expandExec(const QString& exec, const QString& path);

} // namespace texteditor
