#pragma once

#include <QString>

// The connection log on disk: plain text, one line per event, CR LF line
// ends, cut from the front once it grows past its size limit.
namespace logfile {

// Where the log named `name` lies: a relative name is relative to the
// program folder `programDirectory` (with its trailing "/"), not to the
// process's current folder.
QString ResolvePath(const QString& programDirectory, const QString& name);

// Appends the line and CR LF in one write, creating the file if needed.
// Returns false when the file could not be opened or created (the line is
// lost).
bool Append(const QString& path, const QString& line);

// The file's size in bytes, or -1 when there is no such file.
qint64 Size(const QString& path);

enum class TrimResult { Done, CannotOpen, CannotCreate };

// Keeps the last whole lines that fit in nine tenths of `limit` bytes
// (counting each line with CR LF) and writes them back with CR LF. Lines end
// at CR LF, CR or LF; a NUL ends the text. The kept lines go to a temporary
// file in the same folder that then replaces the log, so a failure never
// loses the log.
TrimResult Trim(const QString& path, qint64 limit);

} // namespace logfile
