#pragma once

#include <QByteArray>
#include <QString>

namespace safewrite {

// Replaces the file with `bytes`: written to a temporary file beside it and
// renamed over it only when every byte reached the disk, so a crash or a
// full disk leaves the old file whole. The new file keeps the old one's mode,
// and its owner and group where the process may set them. Where no temporary
// file can be made beside it (a read-only folder) but the file itself is
// writable, it is rewritten in place. Returns false when nothing changed.
bool ReplaceFile(const QString& path, const QByteArray& bytes);

// Writes all `size` bytes to the descriptor, going on after interruptions
// and short writes. False with errno set (ENOSPC for a write of nothing).
bool WriteAll(int fd, const char* bytes, qint64 size);

} // namespace safewrite
