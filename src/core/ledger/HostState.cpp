#include "HostState.h"

#include "LedgerCsv.h"
#include "io/Fd.h"
#include "io/SafeWrite.h"
#include "text/SharedText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Outcome = HostState::Outcome;
using Failure = LedgerFile::Failure;

constexpr qsizetype kLongestOpen = 2 * ledgercsv::kLongestRow + 1024;
constexpr qsizetype kLongestStamp = 4096;
constexpr qsizetype kLongestKey = 160;
// A stamp of an earlier version serves the hosts that start meanwhile.
constexpr qint64 kLegacyStampMs = 10 * 60 * 1000;

const QString kOpenSuffix = QStringLiteral(".open");
const QString kStampSuffix = QStringLiteral(".watched");

// At most `limit` bytes of a regular file; none for a missing file, one that
// is not regular (never opened: a FIFO would block) or one that is longer.
std::optional<QByteArray> readSmall(const QString& path, qsizetype limit) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit)
        return std::nullopt;
    const Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    QByteArray bytes(limit + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + size, static_cast<std::size_t>(bytes.size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        size += n;
    }
    if (size > limit)
        return std::nullopt;
    bytes.truncate(size);
    return bytes;
}

// Whether something other than a regular file holds the name.
bool occupied(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

Outcome replace(const QString& path, const QByteArray& bytes) {
    if (occupied(path))
        return {Failure::NotRegularFile, 0};
    errno = 0;
    if (safewrite::ReplaceFile(path, bytes))
        return {};
    return errno == 0 ? Outcome{Failure::Other, 0} : LedgerFile::failed(errno);
}

Outcome removeFile(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return LedgerFile::failed(errno);
    return {};
}

std::optional<LedgerRow> firstRow(const QByteArray& bytes) {
    std::optional<LedgerRow> row;
    ledgercsv::RecordReader reader([&](QByteArrayView record, qint64) {
        if (!row)
            row = ledgercsv::parseRecord(record);
        return true;
    });
    reader.feed(bytes);
    reader.finish();
    return row;
}

const char* stateWord(HostState::Watching state) {
    switch (state) {
    case HostState::Watching::Watching:
        return "watching";
    case HostState::Watching::Stopped:
        return "stopped";
    case HostState::Watching::Closed:
        return "closed";
    case HostState::Watching::Switched:
        return "switched";
    }
    return "watching";
}

QDateTime legacyTime(const QByteArray& bytes) {
    return QDateTime::fromString(QString::fromUtf8(bytes).trimmed(), Qt::ISODateWithMs);
}

} // namespace

HostState::HostState(const QString& ledgerPath, const QString& host)
    : m_ledgerPath(ledgerPath), m_host(host), m_folder(text::shared(folder(ledgerPath))), m_key(fileKey(host)) {
    // Most keys are the host as typed: one text for both.
    if (m_key == m_host)
        m_key = m_host;
}

QString HostState::folder(const QString& ledgerPath) {
    return QDir::cleanPath(QFileInfo(ledgerPath).path() + QStringLiteral("/Outages.state"));
}

QString HostState::fileKey(const QString& host) {
    const QByteArray bytes = host.toUtf8();
    QString key;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || (c == '.' && i > 0);
        if (plain)
            key += QLatin1Char(c);
        else
            key += QStringLiteral("%%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    if (key.isEmpty())
        key = QStringLiteral("%00");
    if (key.size() > kLongestKey) {
        const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(16);
        key = key.left(kLongestKey - 17) + u'~' + QString::fromLatin1(hash);
    }
    return key;
}

QString HostState::notWatchedNote(Watching state) {
    switch (state) {
    case Watching::Watching:
        return QStringLiteral("Linkvigil was not running");
    case Watching::Stopped:
        return QStringLiteral("Linkvigil was stopped");
    case Watching::Closed:
        return QStringLiteral("Linkvigil was closed");
    case Watching::Switched:
        return QStringLiteral("Linkvigil watched another host");
    }
    return {};
}

QString HostState::openPath() const {
    return m_folder + u'/' + m_key + kOpenSuffix;
}

QString HostState::stampPath() const {
    return m_folder + u'/' + m_key + kStampSuffix;
}

Outcome HostState::makeFolder() const {
    const QByteArray name = QFile::encodeName(m_folder);
    if (::mkdir(name.constData(), 0777) == 0)
        return {};
    const int error = errno;
    struct stat st {};
    if (error == EEXIST)
        return ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? Outcome{}
                                                                         : Outcome{Failure::NotRegularFile, 0};
    return LedgerFile::failed(error);
}

Outcome HostState::writeOpen(const LedgerRow& row) {
    if (const Outcome made = makeFolder(); !made)
        return made;
    return replace(openPath(),
                   (ledgercsv::header() + QStringLiteral("\r\n") + ledgercsv::formatLine(row)).toUtf8() + "\r\n");
}

Outcome HostState::clearOpen() {
    return removeFile(openPath());
}

std::optional<LedgerRow> HostState::takeOpen(Outcome* outcome) {
    if (outcome)
        *outcome = {};
    const QString own = openPath();
    if (exists(own)) {
        const std::optional<QByteArray> bytes = readSmall(own, kLongestOpen);
        std::optional<LedgerRow> row = bytes ? firstRow(*bytes) : std::nullopt;
        if (!occupied(own)) {
            const Outcome removed = removeFile(own);
            if (outcome)
                *outcome = removed;
        }
        if (row)
            row->host = m_host;
        return row;
    }
    // One of an earlier version, if it is this host's.
    const QString legacy = m_ledgerPath + kOpenSuffix;
    if (!exists(legacy) || occupied(legacy))
        return std::nullopt;
    const std::optional<QByteArray> bytes = readSmall(legacy, kLongestOpen);
    std::optional<LedgerRow> row = bytes ? firstRow(*bytes) : std::nullopt;
    if (row && row->host != m_host)
        return std::nullopt;
    const Outcome removed = removeFile(legacy);
    if (outcome)
        *outcome = removed;
    return row;
}

HostState::Stamp HostState::readStamp() const {
    Stamp stamp;
    if (const std::optional<QByteArray> bytes = readSmall(stampPath(), kLongestStamp)) {
        QString host;
        for (const QByteArray& line : bytes->split('\n')) {
            const QString text = QString::fromUtf8(line).trimmed();
            const QString key = text.section(u'=', 0, 0);
            const QString value = text.section(u'=', 1);
            if (key == u"host")
                host = value;
            else if (key == u"since")
                stamp.since = QDateTime::fromString(value, Qt::ISODateWithMs);
            else if (key == u"last")
                stamp.last = QDateTime::fromString(value, Qt::ISODateWithMs);
            else if (key == u"state")
                for (Watching state : {Watching::Watching, Watching::Stopped, Watching::Closed, Watching::Switched})
                    if (value == QLatin1String(stateWord(state)))
                        stamp.state = state;
        }
        // A cut key may stand for another host.
        if (host == m_host)
            return stamp;
        return {};
    }
    if (exists(stampPath()))
        return {};
    if (const std::optional<QByteArray> bytes = readSmall(m_ledgerPath + kStampSuffix, 256))
        stamp.last = legacyTime(*bytes);
    return stamp;
}

Outcome HostState::writeStamp(const Stamp& stamp) {
    if (const Outcome made = makeFolder(); !made)
        return made;
    QByteArray text = "host=" + m_host.toUtf8() + "\r\n";
    if (stamp.since.isValid())
        text += "since=" + ledgercsv::formatTime(stamp.since).toUtf8() + "\r\n";
    text += "last=" + ledgercsv::formatTime(stamp.last).toUtf8() + "\r\nstate=" + stateWord(stamp.state) + "\r\n";
    const Outcome written = replace(stampPath(), text);
    // The stamp of an earlier version has served its time.
    const QString legacy = m_ledgerPath + kStampSuffix;
    if (written && exists(legacy) && !occupied(legacy)) {
        const std::optional<QByteArray> bytes = readSmall(legacy, 256);
        const QDateTime old = bytes ? legacyTime(*bytes) : QDateTime();
        if (!old.isValid() || old.msecsTo(stamp.last) > kLegacyStampMs)
            (void)removeFile(legacy);
    }
    return written;
}
