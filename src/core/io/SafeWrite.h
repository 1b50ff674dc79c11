#pragma once

#include <QByteArray>
#include <QString>

namespace safewrite {

// Replaces the file with `bytes`: written to a temporary file beside it and
// renamed over it only when every byte reached the disk, so a crash or a
// full disk leaves the old file whole. Returns false when nothing changed.
bool ReplaceFile(const QString& path, const QByteArray& bytes);

} // namespace safewrite
