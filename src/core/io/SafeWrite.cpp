#include "SafeWrite.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safewrite {

namespace {

// The last resort: the file's own bytes are overwritten and the rest cut off.
// A regular file only, opened without waiting on anything else.
bool rewriteInPlace(const QByteArray& name, const QByteArray& bytes) {
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && WriteAll(fd, bytes.constData(), bytes.size()) &&
                    ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

bool WriteAll(int fd, const char* bytes, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes += n;
        size -= n;
    }
    return true;
}

bool ReplaceFile(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    const bool existed = ::stat(name.constData(), &before) == 0;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return existed && S_ISREG(before.st_mode) && rewriteInPlace(name, bytes);
    // QSaveFile buffers small writes and would still commit a file whose
    // final flush failed: flush and look before committing.
    if (out.write(bytes) != bytes.size() || !out.flush() || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    if (!out.commit())
        return false;
    if (existed && ::chown(name.constData(), before.st_uid, before.st_gid) != 0) {
        // Another owner's file stays ours: only root may give it back.
    }
    return true;
}

} // namespace safewrite
