#pragma once

#include "clock/Stopwatch.h"
#include "history/HistoryReader.h"
#include "history/SqliteDb.h"

#include <QTimeZone>

#include <sqlite3.h>

#include <climits>

// What the history tests share: a clock the test moves, echoes made to
// order, and looks into the file.
namespace historytest {

struct Clock : IStopwatch {
    Moment now() const override { return at; }
    void set(const QDateTime& wall) { at.wall = wall; }
    void pass(qint64 ms) { at.wall = at.wall.addMSecs(ms); }
    Moment at{0, 0, QDateTime(QDate(2026, 12, 8), QTime(12, 0), QTimeZone(3600))};
};

inline IpAddress address(const char* text) {
    return *IpAddress::parse(text);
}

inline EchoSample answered(const QString& host, const QDateTime& sent, std::int64_t rttUs,
                           const char* to = "192.0.2.1") {
    EchoSample e;
    e.host = host;
    e.address = address(to);
    e.sent.wall = sent;
    e.outcome = EchoSample::Outcome::Answered;
    e.status = 0;
    e.roundTripMicros = rttUs;
    e.ttl = 57;
    e.from = e.address;
    return e;
}

inline EchoSample timedOut(const QString& host, const QDateTime& sent, const char* to = "192.0.2.1") {
    EchoSample e;
    e.host = host;
    e.address = address(to);
    e.sent.wall = sent;
    return e;
}

inline qint64 count(SqliteDb& db, const char* sql) {
    std::int64_t n = -1;
    db.queryInteger(sql, n);
    return n;
}

inline std::unique_ptr<SqliteDb> openDb(const QString& path) {
    std::unique_ptr<SqliteDb> db;
    SqliteDb::open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, db);
    return db;
}

inline QString integrity(const QString& path) {
    QString verdict;
    if (auto db = openDb(path))
        db->queryText("PRAGMA integrity_check", verdict);
    return verdict;
}

// Every echo the reader gives of the host.
inline qint64 echoesOf(HistoryReader& reader, const QString& host) {
    qint64 n = 0;
    reader.forEachEcho(host, 0, LLONG_MAX / 2, [&n](const EchoSample&) { return ++n, true; });
    return n;
}

} // namespace historytest
