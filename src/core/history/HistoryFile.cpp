#include "history/HistoryFile.h"

#include "history/HistorySchema.h"
#include "history/SqliteDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// Another process's transaction is waited for this long (on the writer's thread).
constexpr int kBusyMs = 2000;

// Why a file is no history of ours, or nothing when it is one (or empty).
// `code` gets an error that says nothing about the file's contents (busy,
// an I/O error), when there is one.
QString foreignness(SqliteDb& db, std::int64_t checkLimitBytes, qint64 size, int& code) {
    std::int64_t tables = 0;
    code = db.queryInteger("SELECT count(*) FROM sqlite_schema", tables);
    if (code == SQLITE_NOTADB)
        return QStringLiteral("is not an SQLite database");
    if (code == SQLITE_CORRUPT)
        return QStringLiteral("is damaged");
    if (code != SQLITE_OK)
        return {};
    std::int64_t application = 0;
    std::int64_t version = 0;
    if ((code = db.queryInteger("PRAGMA application_id", application)) != SQLITE_OK ||
        (code = db.queryInteger("PRAGMA user_version", version)) != SQLITE_OK)
        return {};
    if (tables == 0 && application == 0 && version == 0)
        return {}; // empty: made ours below
    if (application != historyschema::ApplicationId)
        return QStringLiteral("belongs to another program");
    if (version != historyschema::Version)
        return QStringLiteral("is of another version (%1)").arg(version);
    if (!historyschema::complete(db))
        return QStringLiteral("lacks some of its tables");
    if (size <= checkLimitBytes) {
        QString verdict;
        code = db.queryText("PRAGMA quick_check", verdict);
        if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || (code == SQLITE_OK && verdict != u"ok")) {
            code = SQLITE_OK;
            return QStringLiteral("is damaged");
        }
    }
    return {};
}

// The settings of the writing connection, and the tables of a new file.
// WAL: readers read while it is written. synchronous=NORMAL: a commit is
// in the log when it returns, whatever becomes of the process; only a power
// cut can lose the last commits before a checkpoint (the log is synced at
// each), never the file.
int makeReady(SqliteDb& db, QString& message) {
    // Asked first: a file another writer has just made a WAL file needs no
    // change, and asking for one would wait for that writer to close.
    QString mode;
    int code = db.queryText("PRAGMA journal_mode", mode);
    if (code == SQLITE_OK && mode != u"wal" && (code = db.queryText("PRAGMA journal_mode = WAL", mode)) == SQLITE_OK &&
        mode != u"wal") {
        message = QStringLiteral("it cannot keep a write-ahead log here");
        return SQLITE_CANTOPEN;
    }
    if (code == SQLITE_OK)
        code =
            db.exec("PRAGMA synchronous = NORMAL; PRAGMA secure_delete = OFF; PRAGMA journal_size_limit = 16777216;");
    std::int64_t tables = 0;
    if (code == SQLITE_OK)
        code = db.queryInteger("SELECT count(*) FROM sqlite_schema", tables);
    if (code == SQLITE_OK && (tables == 0 || !historyschema::hasRouteChanges(db))) {
        code = db.exec("BEGIN IMMEDIATE");
        if (code == SQLITE_OK)
            code = historyschema::create(db);
        code = code == SQLITE_OK ? db.exec("COMMIT") : code;
        db.rollback();
    }
    if (code != SQLITE_OK)
        message = QStringLiteral("it cannot be opened (%1)").arg(db.error());
    return code;
}

QString brokenName(const QString& path, const QDateTime& now) {
    const QString stem = path + QStringLiteral(".broken-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-wal")); ++n)
        name = stem + QStringLiteral("-%1").arg(n);
    return name;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString HistoryFile::pathForLog(const QString& logFilePath) {
    return QDir::cleanPath(QFileInfo(logFilePath).path() + u'/' + fileName());
}

bool HistoryFile::regularOrMissing(const QString& path, bool* exists) {
    struct stat st {};
    const bool found = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists)
        *exists = found;
    return found ? S_ISREG(st.st_mode) : errno == ENOENT;
}

std::uint64_t HistoryFile::identity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return (static_cast<std::uint64_t>(st.st_dev) << 40) ^ static_cast<std::uint64_t>(st.st_ino);
}

HistoryFile::Opened HistoryFile::openForWriting(const QString& path, const QDateTime& now, std::int64_t checkLimitBytes,
                                                bool broken) {
    Opened out;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const QString& name : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
            if (!regularOrMissing(name)) {
                out.code = SQLITE_CANTOPEN;
                out.message = QStringLiteral("%1 is not a regular file").arg(name);
                return out;
            }
        const QString folder = QFileInfo(path).path();
        if (!QFileInfo(folder).isDir()) {
            out.code = SQLITE_CANTOPEN;
            out.message = QStringLiteral("its folder %1 is missing").arg(folder);
            return out;
        }
        const std::uint64_t before = identity(path);
        std::unique_ptr<SqliteDb> db;
        int code = SqliteDb::open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, db);
        if (code != SQLITE_OK) {
            out.code = code;
            out.message = QStringLiteral("it cannot be opened (%1)").arg(QString::fromUtf8(sqlite3_errstr(code)));
            return out;
        }
        sqlite3_busy_timeout(db->handle(), kBusyMs);
        QString why = broken ? QStringLiteral("is damaged") : QString();
        if (why.isEmpty())
            why = foreignness(*db, checkLimitBytes, QFileInfo(path).size(), code);
        if (why.isEmpty() && code == SQLITE_OK) {
            if ((code = makeReady(*db, out.message)) == SQLITE_OK)
                out.db = std::move(db);
            out.code = code;
            return out;
        }
        if (why.isEmpty()) {
            out.code = code;
            out.message = QStringLiteral("it cannot be read (%1)").arg(db->error());
            return out;
        }
        db.reset();
        // Only the file that was looked at is moved, not one another writer
        // has put in its place meanwhile.
        if (identity(path) != before) {
            broken = false;
            continue;
        }
        const QString aside = brokenName(path, now);
        const QByteArray from = QFile::encodeName(path);
        if (::rename(from.constData(), QFile::encodeName(aside).constData()) != 0) {
            out.code = SQLITE_CANTOPEN;
            out.message = QStringLiteral("%1 and cannot be moved aside (%2)").arg(why, errnoText(errno));
            return out;
        }
        ::rename((from + "-wal").constData(), QFile::encodeName(aside + QStringLiteral("-wal")).constData());
        ::unlink((from + "-shm").constData());
        out.message =
            QStringLiteral("%1; it was moved aside as %2 and a new one started").arg(why, QFileInfo(aside).fileName());
        broken = false;
    }
    return out;
}

std::unique_ptr<SqliteDb> HistoryFile::openForReading(const QString& path) {
    bool exists = false;
    if (!regularOrMissing(path, &exists) || !exists || !regularOrMissing(path + QStringLiteral("-wal")) ||
        !regularOrMissing(path + QStringLiteral("-shm")))
        return nullptr;
    std::unique_ptr<SqliteDb> db;
    if (SqliteDb::open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, db) != SQLITE_OK &&
        SqliteDb::open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, db) != SQLITE_OK)
        return nullptr;
    sqlite3_busy_timeout(db->handle(), 2000);
    std::int64_t application = 0;
    std::int64_t version = 0;
    if (db->queryInteger("PRAGMA application_id", application) != SQLITE_OK ||
        db->queryInteger("PRAGMA user_version", version) != SQLITE_OK || application != historyschema::ApplicationId ||
        version != historyschema::Version || !historyschema::complete(*db))
        return nullptr;
    return db;
}
