#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Finds the desktop's default application for a type of file (plain text,
// text/plain, unless told) as desktops do, and builds its command line for
// one file. The file is always
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

// The command that opens `path` in the default application for its type,
// the text editor unless told: the first installed application of the
// type's defaults in the mimeapps.list files, then of their added
// associations, then of the application folders' caches. An application
// that runs in a terminal is started in the desktop's terminal emulator.
// Empty when no usable application is known.
std::optional<Command> commandFor(const XdgDirs& dirs, const QString& path,
                                  const QString& mimeType = QStringLiteral("text/plain"));

// Splits a desktop entry's Exec value into program and arguments, with its
// file field codes standing for `path` (appended when there is none).
std::optional<Command> expandExec(const QString& exec, const QString& path);

} // namespace texteditor
