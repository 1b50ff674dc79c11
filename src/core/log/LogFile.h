#pragma once

#include <QString>

// The connection log on disk: plain text, one line per event, CR LF line
// ends, cut from the front once it grows past its size limit.
namespace logfile {

// Where the log named `name` lies: a relative name is relative to the
// program folder `programDirectory` (with its trailing "/"), not to the
// process's current folder.
QString ResolvePath(const QString& programDirectory, const QString& name);

// Why the log could not be written or trimmed.
enum class Failure {
    None,
    CannotOpen,     // missing folder, no rights on the file: the line is lost quietly
    NoSpace,        // the disk (or the quota, or the file size limit) is full
    FolderReadOnly, // no copy can be made beside it and it cannot be rewritten in place
    NotRegularFile, // a folder, a FIFO, a device
    Other,
};

struct Outcome {
    Failure failure = Failure::None;
    int error = 0; // errno, where there was one
    explicit operator bool() const { return failure == Failure::None; }
};

// The message for a failed write or trim, naming the cause and the path.
QString Describe(const QString& path, const Outcome& outcome);

// Appends the line and CR LF, creating the file if needed. The line is
// written whole or not at all: after a short write the file is cut back to
// its size before. A file whose last line has no line end gets one first,
// so every line starts on a line of its own. Never blocks: a FIFO or a device
// is refused.
Outcome Append(const QString& path, const QString& line);

// The file's size in bytes, or -1 when there is no such regular file.
qint64 Size(const QString& path);

// Keeps the last whole lines that fit in nine tenths of `limit` bytes
// (counting each line with CR LF) and writes them back with CR LF. Lines end
// at CR LF, CR or LF; any other byte, NUL included, belongs to its line. Only
// the kept end of the file is read, in bounded memory. The kept lines go to a
// temporary file beside the log that then replaces it, so a failure never
// loses the log; where no such copy can be made (a read-only folder, no room
// for a second copy) the kept lines are moved to the front of the log itself
// and the rest cut off, which an interruption can leave doubled, never lost.
Outcome Trim(const QString& path, qint64 limit);

} // namespace logfile
