#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>

class SqliteDb;

// Opening History.db: never a FIFO, a device or a folder of that name; a
// file that is not a history of ours, or a damaged one, is moved aside as
// "History.db.broken-yyyyMMdd-HHmmss" (its write-ahead log beside it as
// "...-wal") and a new one started.
class HistoryFile {
public:
    static QString fileName() { return QStringLiteral("History.db"); }
    // History.db in the folder of the connection log `logFilePath`, beside
    // the outage ledger.
    static QString pathForLog(const QString& logFilePath);

    struct Opened {
        std::unique_ptr<SqliteDb> db;
        // Why there is no connection, or what was done to the file before
        // (moved aside); empty when there is nothing to say.
        QString message;
        // Whether the file could not be opened for a reason that may pass
        // (no room, no right, the folder missing, not a regular file).
        int code = 0;
    };
    // Opens the file for writing, with its tables made when it is new and
    // its settings (WAL, synchronous=NORMAL) set. `now` names a file moved
    // aside; files up to `checkLimitBytes` are checked in full
    // (PRAGMA quick_check) first. `broken`: move it aside whatever it holds,
    // for a file found damaged while writing.
    static Opened openForWriting(const QString& path, const QDateTime& now, std::int64_t checkLimitBytes,
                                 bool broken = false);
    // Opens the file for reading; nothing when it is missing, not a regular
    // file, or not a history of ours.
    static std::unique_ptr<SqliteDb> openForReading(const QString& path);

    // Whether the path names a regular file (or a link to one), or nothing.
    // `exists` tells which.
    static bool regularOrMissing(const QString& path, bool* exists = nullptr);
    // The device and inode of the file the path names; 0 when none.
    static std::uint64_t identity(const QString& path);
};
