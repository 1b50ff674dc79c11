#include "LedgerFile.h"
#include "io/Fd.h"

#include "io/SafeWrite.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kColumns = 13;
const QString kKindOutage = QStringLiteral("outage");
const QString kKindGap = QStringLiteral("gap");
const QString kCausesSeparator = QStringLiteral("; ");

// No row this program writes comes near this size: a longer unfinished tail
// is not a torn row but a file edited by hand (a quote opened and never
// closed), and only its last, unfinished line is cut.
constexpr qsizetype kLongestTornRow = 16 * 1024;

using Failure = LedgerFile::Failure;
using Outcome = LedgerFile::Outcome;

Outcome failed(int error) {
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

// The whole regular file; false for a missing or unreadable one, and without
// opening a FIFO or a device, which may block.
bool readFile(const QByteArray& name, QByteArray* bytes) {
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    bytes->clear();
    bytes->reserve(static_cast<qsizetype>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes->append(buffer, n);
    }
}

// One CSV record as its raw fields.
struct Record {
    QList<QByteArray> fields;
    bool wellFormed = true; // false where a closing quote is followed by more than a comma or line end
};

struct Scan {
    QList<Record> records; // those ended by a line end
    qsizetype end = 0;     // just past the line end of the last of them
};

// Splits CSV into records of fields. A record ends at CR LF, CR or LF outside
// quotes; a quote opens a quoted field only at the start of a field, and
// within one a doubled quote stands for one. A quote inside an unquoted field
// is taken as it stands, so a hand-edited stray quote does not swallow the
// lines after it. Quotes, commas and line ends are ASCII and never part of a
// UTF-8 sequence, so the bytes are split before they are decoded.
Scan scan(QByteArrayView bytes) {
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };
    Scan result;
    Record record;
    QByteArray field;
    State state = State::FieldStart;
    const auto endField = [&] {
        record.fields.append(field);
        field.clear();
        state = State::FieldStart;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool lineEnd = c == '\r' || c == '\n';
        if (state == State::Quoted) {
            if (c == '"')
                state = State::QuoteInQuoted;
            else
                field += c;
            continue;
        }
        if (state == State::QuoteInQuoted && c == '"') { // a doubled quote
            field += c;
            state = State::Quoted;
            continue;
        }
        if (state == State::QuoteInQuoted && c != ',' && !lineEnd)
            record.wellFormed = false;
        if (state == State::FieldStart && c == '"') {
            state = State::Quoted;
        } else if (c == ',') {
            endField();
        } else if (lineEnd) {
            endField();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            result.records.append(std::move(record));
            record = {};
            result.end = i + 1;
        } else {
            field += c;
            state = State::Unquoted;
        }
    }
    return result;
}

QString formatTime(const QDateTime& time) {
    if (!time.isValid())
        return {};
    QString text = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
    // An offset of zero is written like any other, not as "Z".
    if (text.endsWith(u'Z')) {
        text.chop(1);
        text += QStringLiteral("+00:00");
    }
    return text;
}

QString formatDuration(qint64 ms) {
    const qint64 magnitude = ms < 0 ? -ms : ms;
    return (ms < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 1000) + u'.' +
           QString::number(magnitude % 1000).rightJustified(3, u'0');
}

bool parseDuration(const QString& text, qint64* ms) {
    bool ok = false;
    const double seconds = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(seconds))
        return false;
    *ms = qRound64(seconds * 1000);
    return true;
}

QString quoted(const QString& field) {
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : field) {
        if (special.contains(c))
            return u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return field;
}

std::optional<LedgerRow> rowFrom(const Record& record) {
    if (!record.wellFormed || record.fields.size() != kColumns)
        return std::nullopt;
    QStringList f;
    for (const QByteArray& field : record.fields)
        f.append(QString::fromUtf8(field));
    LedgerRow row;
    if (f[0] == kKindOutage)
        row.kind = LedgerRow::Kind::Outage;
    else if (f[0] == kKindGap)
        row.kind = LedgerRow::Kind::Gap;
    else
        return std::nullopt; // the header, or no row at all
    row.start = QDateTime::fromString(f[1], Qt::ISODateWithMs);
    if (!row.start.isValid())
        return std::nullopt;
    if (!f[2].isEmpty()) {
        row.end = QDateTime::fromString(f[2], Qt::ISODateWithMs);
        if (!row.end.isValid())
            return std::nullopt;
    }
    bool ok = false;
    row.echoesLost = f[6].toInt(&ok);
    if (!ok || !parseDuration(f[3], &row.durationMs))
        return std::nullopt;
    row.host = f[4];
    row.address = f[5];
    row.firstStatus = f[7];
    row.cause = f[8];
    if (!f[9].isEmpty())
        row.causesSeen = f[9].split(kCausesSeparator);
    row.gateway = f[10];
    row.interface = f[11];
    row.note = f[12];
    return row;
}

} // namespace

QString LedgerFile::ledgerPath(const QString& logFilePath) {
    return QDir::cleanPath(QFileInfo(logFilePath).path() + QStringLiteral("/Outages.csv"));
}

QString LedgerFile::describe(const QString& path, const Outcome& outcome) {
    switch (outcome.failure) {
    case Failure::None:
        break;
    case Failure::NoSpace:
        return QStringLiteral("Cannot write the outage ledger %1: no space left on the device").arg(path);
    case Failure::NoPermission:
        return QStringLiteral("Cannot write the outage ledger %1: no permission to write it or in its folder")
            .arg(path);
    case Failure::NotRegularFile:
        return QStringLiteral("Cannot write the outage ledger %1: it is not a regular file").arg(path);
    case Failure::MissingFolder:
        return QStringLiteral("Cannot write the outage ledger %1: its folder does not exist").arg(path);
    case Failure::Other:
        if (outcome.error == 0)
            return QStringLiteral("Cannot write the outage ledger %1").arg(path);
        return QStringLiteral("Cannot write the outage ledger %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(outcome.error)));
    }
    return {};
}

QString LedgerFile::header() {
    return QStringLiteral(
        "kind,start,end,duration_s,host,address,echoes_lost,first_status,cause,causes_seen,gateway,interface,note");
}

QString LedgerFile::formatLine(const LedgerRow& row) {
    const QStringList fields{
        row.kind == LedgerRow::Kind::Gap ? kKindGap : kKindOutage,
        formatTime(row.start),
        formatTime(row.end),
        formatDuration(row.durationMs),
        row.host,
        row.address,
        QString::number(row.echoesLost),
        row.firstStatus,
        row.cause,
        row.causesSeen.join(kCausesSeparator),
        row.gateway,
        row.interface,
        row.note,
    };
    QStringList line;
    for (const QString& field : fields)
        line.append(quoted(field));
    return line.join(u',');
}

std::optional<LedgerRow> LedgerFile::parseLine(const QString& line) {
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const Scan scanned = scan(bytes);
    if (scanned.records.size() != 1 || scanned.end != bytes.size())
        return std::nullopt;
    return rowFrom(scanned.records.constFirst());
}

QList<LedgerRow> LedgerFile::read(const QString& path) {
    QByteArray bytes;
    if (!readFile(QFile::encodeName(path), &bytes))
        return {};
    if (bytes.startsWith("\xEF\xBB\xBF")) // saved again by an editor that adds one
        bytes.remove(0, 3);
    QList<LedgerRow> rows;
    for (const Record& record : scan(bytes).records) {
        if (std::optional<LedgerRow> row = rowFrom(record))
            rows.append(*row);
    }
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
    QByteArray bytes;
    if (!readFile(name, &bytes))
        return failed(EIO);
    qsizetype keep = scan(bytes).end;
    if (bytes.size() - keep > kLongestTornRow) {
        const qsizetype lastLineEnd = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
        keep = lastLineEnd < 0 ? bytes.size() : lastLineEnd + 1;
    }
    if (keep < bytes.size()) {
        int result = 0;
        while ((result = ::ftruncate(fd.get(), keep)) != 0 && errno == EINTR) {
        }
        if (result != 0)
            return failed(errno);
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

Outcome LedgerFile::writeOpen(const LedgerRow& row) {
    const QString sidecar = openPath();
    struct stat st {};
    if (::stat(QFile::encodeName(sidecar).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return {Failure::NotRegularFile, 0};
    errno = 0;
    if (safewrite::ReplaceFile(sidecar, (header() + QStringLiteral("\r\n") + formatLine(row)).toUtf8() + "\r\n"))
        return {};
    return failed(errno);
}

Outcome LedgerFile::clearOpen() {
    if (::unlink(QFile::encodeName(openPath()).constData()) != 0 && errno != ENOENT)
        return failed(errno);
    return {};
}

std::optional<LedgerRow> LedgerFile::takeOpen(Outcome* outcome) {
    if (outcome)
        *outcome = {};
    const QString sidecar = openPath();
    const QList<LedgerRow> rows = read(sidecar);
    struct stat st {};
    if (::stat(QFile::encodeName(sidecar).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        const Outcome removed = clearOpen();
        if (outcome)
            *outcome = removed;
    }
    if (rows.isEmpty())
        return std::nullopt;
    return rows.constFirst();
}
