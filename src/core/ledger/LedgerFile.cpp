#include "LedgerFile.h"

#include "LedgerCsv.h"
#include "io/Fd.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Failure = LedgerFile::Failure;
using Outcome = LedgerFile::Outcome;

constexpr qsizetype kReadPiece = 256 * 1024;

// A regular file opened for reading without waiting on anything: a FIFO or
// a device is refused before it is opened, since opening one may block.
Fd openRegular(const QByteArray& name, int flags, struct stat* st) {
    if (::stat(name.constData(), st) != 0 || !S_ISREG(st->st_mode))
        return Fd(-1);
    Fd fd(::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0 || ::fstat(fd.get(), st) != 0 || !S_ISREG(st->st_mode))
        return Fd(-1);
    return fd;
}

ssize_t readSome(int fd, char* buffer, std::size_t size, off_t at = -1) {
    for (;;) {
        const ssize_t n = at < 0 ? ::read(fd, buffer, size) : ::pread(fd, buffer, size, at);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

} // namespace

Outcome LedgerFile::failed(int error) {
    Failure failure = Failure::Other;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        failure = Failure::NoSpace;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        failure = Failure::NoPermission;
        break;
    case EISDIR:
    case ENXIO:
        failure = Failure::NotRegularFile;
        break;
    case ENOENT:
    case ENOTDIR:
        failure = Failure::MissingFolder;
        break;
    default:
        break;
    }
    return {failure, error};
}

QString LedgerFile::ReadStats::note(const QString& path) const {
    if (malformed == 0)
        return {};
    return QStringLiteral("%1 malformed %2 of %3 %4 skipped (the first on line %5)")
        .arg(malformed)
        .arg(malformed == 1 ? QStringLiteral("row") : QStringLiteral("rows"), path,
             malformed == 1 ? QStringLiteral("was") : QStringLiteral("were"))
        .arg(firstMalformedLine);
}

QString LedgerFile::ledgerPath(const QString& logFilePath) {
    return QDir::cleanPath(QFileInfo(logFilePath).path() + QStringLiteral("/Outages.csv"));
}

QString LedgerFile::describe(const QString& path, const Outcome& outcome, const QString& what) {
    const QString file = (what.isEmpty() ? QStringLiteral("the outage ledger") : what) + u' ' + path;
    switch (outcome.failure) {
    case Failure::None:
        break;
    case Failure::NoSpace:
        return QStringLiteral("Cannot write %1: no space left on the device").arg(file);
    case Failure::NoPermission:
        return QStringLiteral("Cannot write %1: no permission to write it or in its folder").arg(file);
    case Failure::NotRegularFile:
        return QStringLiteral("Cannot write %1: it is not a regular file").arg(file);
    case Failure::MissingFolder:
        return QStringLiteral("Cannot write %1: its folder does not exist").arg(file);
    case Failure::Other:
        if (outcome.error == 0)
            return QStringLiteral("Cannot write %1").arg(file);
        return QStringLiteral("Cannot write %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(outcome.error)));
    }
    return {};
}

QString LedgerFile::header() {
    return ledgercsv::header();
}

QString LedgerFile::formatLine(const LedgerRow& row) {
    return ledgercsv::formatLine(row);
}

std::optional<LedgerRow> LedgerFile::parseLine(const QString& line) {
    std::optional<LedgerRow> row;
    int records = 0;
    ledgercsv::RecordReader reader([&](QByteArrayView record, qint64) {
        ++records;
        row = ledgercsv::parseRecord(record);
        return row.has_value();
    });
    reader.feed(QByteArray(line.toUtf8() + "\r\n"));
    reader.finish();
    if (records != 1 || reader.malformed() != 0)
        return std::nullopt;
    return row;
}

LedgerFile::ReadStats LedgerFile::forEachRecord(const QString& path,
                                                const std::function<bool(QByteArrayView, qint64)>& take) {
    ReadStats stats;
    struct stat st {};
    const Fd fd = openRegular(QFile::encodeName(path), O_RDONLY, &st);
    if (fd.get() < 0)
        return stats;
    stats.found = true;
    ledgercsv::RecordReader reader([&](QByteArrayView record, qint64 line) {
        const bool row = take(record, line);
        stats.rows += row ? 1 : 0;
        return row;
    });
    QByteArray piece(kReadPiece, Qt::Uninitialized);
    bool first = true;
    for (;;) {
        const ssize_t n = readSome(fd.get(), piece.data(), static_cast<std::size_t>(piece.size()));
        if (n <= 0)
            break;
        QByteArrayView bytes(piece.constData(), n);
        if (first && bytes.startsWith("\xEF\xBB\xBF")) // saved again by an editor that adds one
            bytes = bytes.sliced(3);
        first = false;
        reader.feed(bytes);
    }
    reader.finish();
    stats.malformed = reader.malformed();
    stats.firstMalformedLine = reader.firstMalformedLine();
    return stats;
}

LedgerFile::ReadStats LedgerFile::forEachRow(const QString& path, const std::function<void(LedgerRow&&)>& take) {
    return forEachRecord(path, [&](QByteArrayView record, qint64) {
        std::optional<LedgerRow> row = ledgercsv::parseRecord(record);
        if (row)
            take(std::move(*row));
        return row.has_value();
    });
}

QList<LedgerRow> LedgerFile::read(const QString& path, ReadStats* stats) {
    QList<LedgerRow> rows;
    const ReadStats read = forEachRow(path, [&](LedgerRow&& row) { rows.append(std::move(row)); });
    if (stats)
        *stats = read;
    return rows;
}

Outcome LedgerFile::repair() {
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno != ENOENT)
            return failed(errno);
        m_repaired = true; // nothing there yet
        return {};
    }
    if (!S_ISREG(st.st_mode))
        return {Failure::NotRegularFile, 0};
    const Fd fd(::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return failed(errno);
    if (::fstat(fd.get(), &st) != 0)
        return failed(errno);
    const off_t size = st.st_size;
    if (size > 0) {
        // Only the end is read: a torn row is shorter than any row can be.
        const off_t tailSize = std::min<off_t>(size, ledgercsv::kLongestRow + 1);
        QByteArray tail(static_cast<qsizetype>(tailSize), Qt::Uninitialized);
        if (readSome(fd.get(), tail.data(), static_cast<std::size_t>(tailSize), size - tailSize) != tailSize)
            return failed(EIO);
        if (!tail.endsWith('\n')) {
            const qsizetype lastLineEnd = tail.lastIndexOf('\n');
            int result = 0;
            if (lastLineEnd >= 0 || size <= ledgercsv::kLongestRow) {
                const off_t keep = lastLineEnd < 0 ? 0 : size - tailSize + lastLineEnd + 1;
                while ((result = ::ftruncate(fd.get(), keep)) != 0 && errno == EINTR) {
                }
            } else if (::lseek(fd.get(), 0, SEEK_END) < 0 || ::write(fd.get(), "\r\n", 2) != 2) {
                result = -1;
            }
            if (result != 0)
                return failed(errno);
        }
    }
    m_repaired = true;
    return {};
}

Outcome LedgerFile::append(const LedgerRow& row) {
    return write(formatLine(row).toUtf8() + "\r\n");
}

Outcome LedgerFile::create() {
    return write(QByteArray());
}

Outcome LedgerFile::write(QByteArray bytes) {
    if (!m_repaired) {
        const Outcome repaired = repair();
        if (!repaired)
            return repaired;
    }
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {};
    // Look before opening: opening a FIFO or a device may block or act.
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return {Failure::NotRegularFile, 0};
    Fd fd(::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd.get() < 0)
        return failed(errno);
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {Failure::NotRegularFile, 0};

    if (st.st_size == 0)
        bytes.prepend(header().toUtf8() + "\r\n");
    if (bytes.isEmpty())
        return fd.close() ? Outcome{} : failed(errno);
    // One write, so that a reader never meets half a row.
    ssize_t written = 0;
    while ((written = ::write(fd.get(), bytes.constData(), static_cast<size_t>(bytes.size()))) < 0 && errno == EINTR) {
    }
    if (written != bytes.size()) {
        const int error = written < 0 ? errno : ENOSPC;
        // Whole or not at all: the next row must not be glued to a fragment.
        while (written > 0 && ::ftruncate(fd.get(), st.st_size) != 0 && errno == EINTR) {
        }
        return failed(error);
    }
    if (::fdatasync(fd.get()) != 0 || !fd.close())
        return failed(errno);
    return {};
}
