#include "LogFile.h"
#include "io/Fd.h"

#include "io/SafeWrite.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace logfile {

namespace {

constexpr qint64 kChunk = 64 * 1024;

Outcome failed(Failure failure, int error = 0) {
    return {failure, error};
}

bool isFull(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

Outcome writeFailure(int error) {
    return failed(isFull(error) ? Failure::NoSpace : Failure::Other, error);
}

bool readAt(int fd, char* buffer, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, buffer, static_cast<size_t>(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // the file shrank under us
            return false;
        }
        buffer += n;
        size -= n;
        offset += n;
    }
    return true;
}

// Where the kept lines begin: walking back from the end, whole lines are
// taken while their lengths with CR LF add up to no more than `target`. A
// line end is CR LF, CR or LF; the walk reads only the kept end of the file
// (and the line before it), a chunk at a time.
bool findCut(int fd, qint64 size, double target, qint64* cut) {
    std::array<char, kChunk> buffer;
    double kept = 0;
    qint64 content = 0;   // bytes of the line being measured
    bool inLine = false;  // a line ends where the walk has been
    bool afterLF = false; // the byte just walked was an LF: a CR before it joins it
    *cut = size;
    // The measured line starts at `start`; false when it no longer fits.
    const auto keep = [&](qint64 start) {
        if (kept + static_cast<double>(content) + 2 > target)
            return false;
        kept += static_cast<double>(content) + 2;
        *cut = start;
        return true;
    };
    for (qint64 end = size; end > 0;) {
        const qint64 begin = std::max<qint64>(0, end - kChunk);
        if (!readAt(fd, buffer.data(), end - begin, begin))
            return false;
        for (qint64 i = end - 1; i >= begin; --i) {
            const char c = buffer[static_cast<std::size_t>(i - begin)];
            if (c == '\r' && afterLF) { // the CR of a CR LF
                afterLF = false;
                continue;
            }
            afterLF = c == '\n';
            if (c == '\n' || c == '\r') {
                // A line end: the line after it starts at i + 1, and the
                // line before it is measured next.
                if (inLine && !keep(i + 1))
                    return true;
                inLine = true;
                content = 0;
            } else {
                inLine = true;
                ++content;
            }
        }
        end = begin;
    }
    if (inLine)
        keep(0);
    return true;
}

// Copies [from, size) of `in` to `out`, every line end as CR LF, a CR LF
// after a last line that had none.
bool copyNormalized(int in, qint64 from, qint64 size, int out) {
    std::array<char, kChunk> buffer;
    QByteArray converted;
    bool afterCR = false;
    char last = '\n';
    for (qint64 at = from; at < size;) {
        const qint64 n = std::min<qint64>(kChunk, size - at);
        if (!readAt(in, buffer.data(), n, at))
            return false;
        converted.clear();
        for (qint64 i = 0; i < n; ++i) {
            const char c = buffer[static_cast<std::size_t>(i)];
            if (c == '\n' && afterCR) {
                afterCR = false;
                continue;
            }
            afterCR = c == '\r';
            if (c == '\r' || c == '\n')
                converted += "\r\n";
            else
                converted += c;
            last = c;
        }
        if (!safewrite::WriteAll(out, converted.constData(), converted.size()))
            return false;
        at += n;
    }
    return last == '\n' || last == '\r' || safewrite::WriteAll(out, "\r\n", 2);
}

// The fallback without a second copy: the kept end is moved to the front of
// the file and the rest cut off. Moving forward never overwrites bytes not
// yet moved, so an interruption leaves lines doubled, never lost.
Outcome trimInPlace(const QByteArray& name, qint64 cut, qint64 size) {
    const Fd fd(::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return failed(errno == EACCES || errno == EPERM || errno == EROFS ? Failure::FolderReadOnly : Failure::Other,
                      errno);
    std::array<char, kChunk> buffer;
    qint64 written = 0;
    char last = '\n';
    for (qint64 at = cut; at < size; at += kChunk) {
        const qint64 n = std::min<qint64>(kChunk, size - at);
        if (!readAt(fd.get(), buffer.data(), n, at))
            return failed(Failure::Other, errno);
        if (::pwrite(fd.get(), buffer.data(), static_cast<size_t>(n), written) != n)
            return writeFailure(errno);
        written += n;
        last = buffer[static_cast<std::size_t>(n - 1)];
    }
    if (written > 0 && last != '\n' && last != '\r') {
        if (::pwrite(fd.get(), "\r\n", 2, written) != 2)
            return writeFailure(errno);
        written += 2;
    }
    if (::ftruncate(fd.get(), written) != 0)
        return failed(Failure::Other, errno);
    return {};
}

} // namespace

QString ResolvePath(const QString& programDirectory, const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    return QDir::cleanPath(programDirectory + name);
}

QString Describe(const QString& path, const Outcome& outcome) {
    switch (outcome.failure) {
    case Failure::None:
        break;
    case Failure::NoSpace:
        return QStringLiteral("Cannot write the log file %1: no space left on the device").arg(path);
    case Failure::FolderReadOnly:
        return QStringLiteral("Cannot trim the log file %1: no permission to write in its folder or to the file")
            .arg(path);
    case Failure::NotRegularFile:
        return QStringLiteral("Cannot write the log file %1: it is not a regular file").arg(path);
    case Failure::CannotOpen:
        return QStringLiteral("Cannot open file %1").arg(path);
    case Failure::Other:
        return QStringLiteral("Cannot write the log file %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(outcome.error)));
    }
    return {};
}

Outcome Append(const QString& path, const QString& line) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // Look before opening: opening a FIFO or a device may block or act.
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return failed(Failure::NotRegularFile);
    int raw = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (raw < 0 && errno == EACCES) // writable but not readable: append without looking back
        raw = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (raw < 0)
        return failed(errno == EISDIR || errno == ENXIO ? Failure::NotRegularFile : Failure::CannotOpen, errno);
    Fd fd(raw);
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return failed(Failure::NotRegularFile);

    QByteArray bytes = line.toUtf8() + "\r\n";
    // A line cut short (a kill may end a write at a page boundary) is ended
    // first, so that this one starts a line of its own.
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) == 1) {
        if (last == '\r')
            bytes.prepend("\n");
        else if (last != '\n')
            bytes.prepend("\r\n");
    }
    if (!safewrite::WriteAll(fd.get(), bytes.constData(), bytes.size())) {
        const int error = errno;
        // Whole or not at all: the next line must not be glued to a fragment.
        while (::ftruncate(fd.get(), st.st_size) != 0 && errno == EINTR) {
        }
        return writeFailure(error);
    }
    if (!fd.close())
        return writeFailure(errno);
    return {};
}

qint64 Size(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

Outcome Trim(const QString& path, qint64 limit) {
    // A link keeps pointing at the log: the file it names is the one trimmed.
    QByteArray name = QFile::encodeName(path);
    if (char* real = ::realpath(name.constData(), nullptr)) {
        name = real;
        std::free(real);
    }
    const Fd in(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (in.get() < 0)
        return failed(Failure::CannotOpen, errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return failed(Failure::NotRegularFile);
    qint64 cut = 0;
    if (!findCut(in.get(), st.st_size, 0.9 * static_cast<double>(limit), &cut))
        return failed(Failure::CannotOpen, errno);

    // The kept lines to a copy beside the log, which then replaces it.
    QByteArray temporary = name + ".trim-XXXXXX";
    const int raw = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (raw < 0) {
        if (errno == EACCES || errno == EPERM || errno == EROFS || isFull(errno))
            return trimInPlace(name, cut, st.st_size);
        return failed(Failure::Other, errno);
    }
    Fd out(raw);
    const auto abandon = [&](int error) {
        ::unlink(temporary.constData());
        // No room for a second copy: trim the log itself.
        if (error == ENOSPC || error == EDQUOT)
            return trimInPlace(name, cut, st.st_size);
        return writeFailure(error);
    };
    if (!copyNormalized(in.get(), cut, st.st_size, out.get()) || ::fdatasync(out.get()) != 0)
        return abandon(errno);
    // The copy keeps the log's mode, and its owner and group where we may set them.
    ::fchmod(out.get(), st.st_mode & 07777);
    if (::fchown(out.get(), st.st_uid, st.st_gid) != 0) {
        // Not permitted for another owner: the copy stays ours.
    }
    if (!out.close())
        return abandon(errno);
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failed(Failure::Other, error);
    }
    return {};
}

} // namespace logfile
