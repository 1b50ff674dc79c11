#include "history/HistorySchema.h"

#include "history/SqliteDb.h"

#include <sqlite3.h>

namespace historyschema {

namespace {

// Kept in step with the guide's description of the file.
constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS series(
    id INTEGER PRIMARY KEY,
    host TEXT NOT NULL,
    address TEXT NOT NULL,
    first_ms INTEGER NOT NULL,
    last_ms INTEGER NOT NULL,
    UNIQUE(host, address));
CREATE TABLE IF NOT EXISTS writer(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    machine TEXT NOT NULL,
    boot TEXT NOT NULL,
    pid INTEGER NOT NULL,
    started INTEGER NOT NULL,
    seen_ms INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS block(
    id INTEGER PRIMARY KEY,
    series INTEGER NOT NULL,
    slot_ms INTEGER NOT NULL,
    writer INTEGER NOT NULL,
    echoes INTEGER NOT NULL,
    utc_offset INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS block_slot ON block(series, slot_ms, writer);
CREATE TABLE IF NOT EXISTS minute(
    series INTEGER NOT NULL,
    start_ms INTEGER NOT NULL,
    echoes INTEGER NOT NULL,
    lost INTEGER NOT NULL,
    min_us INTEGER,
    max_us INTEGER,
    mean_us INTEGER,
    median_us INTEGER,
    histogram BLOB NOT NULL,
    PRIMARY KEY(series, start_ms)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS ten_minutes(
    series INTEGER NOT NULL,
    start_ms INTEGER NOT NULL,
    echoes INTEGER NOT NULL,
    lost INTEGER NOT NULL,
    min_us INTEGER,
    max_us INTEGER,
    mean_us INTEGER,
    median_us INTEGER,
    histogram BLOB NOT NULL,
    PRIMARY KEY(series, start_ms)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS hour(
    series INTEGER NOT NULL,
    start_ms INTEGER NOT NULL,
    echoes INTEGER NOT NULL,
    lost INTEGER NOT NULL,
    min_us INTEGER,
    max_us INTEGER,
    mean_us INTEGER,
    median_us INTEGER,
    histogram BLOB NOT NULL,
    PRIMARY KEY(series, start_ms)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS journal(
    id INTEGER PRIMARY KEY,
    writer INTEGER NOT NULL,
    first_ms INTEGER NOT NULL,
    last_ms INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS route_change(
    host TEXT NOT NULL,
    hop INTEGER NOT NULL,
    at_ms INTEGER NOT NULL,
    before TEXT NOT NULL,
    after TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS route_change_at ON route_change(at_ms);
CREATE VIEW IF NOT EXISTS minutes AS
    SELECT s.host, s.address,
           strftime('%Y-%m-%d %H:%M', m.start_ms / 1000, 'unixepoch') AS minute_utc,
           m.echoes, m.lost, m.min_us / 1000.0 AS min_ms, m.median_us / 1000.0 AS median_ms,
           m.mean_us / 1000.0 AS mean_ms, m.max_us / 1000.0 AS max_ms
    FROM minute m JOIN series s ON s.id = m.series;
CREATE VIEW IF NOT EXISTS hours AS
    SELECT s.host, s.address,
           strftime('%Y-%m-%d %H:00', h.start_ms / 1000, 'unixepoch') AS hour_utc,
           h.echoes, h.lost, h.min_us / 1000.0 AS min_ms, h.median_us / 1000.0 AS median_ms,
           h.mean_us / 1000.0 AS mean_ms, h.max_us / 1000.0 AS max_ms
    FROM hour h JOIN series s ON s.id = h.series;
CREATE VIEW IF NOT EXISTS blocks AS
    SELECT s.host, s.address,
           strftime('%Y-%m-%d %H:%M', b.slot_ms / 1000, 'unixepoch') AS slot_utc,
           b.utc_offset, b.echoes, length(b.data) AS bytes, b.writer
    FROM block b JOIN series s ON s.id = b.series;
)sql";

} // namespace

int create(SqliteDb& db) {
    int rc = db.exec(kTables);
    if (rc == SQLITE_OK)
        rc = db.exec("PRAGMA application_id = 1280723027; PRAGMA user_version = 1;");
    static_assert(ApplicationId == 1280723027 && Version == 1);
    return rc;
}

bool hasRouteChanges(SqliteDb& db) {
    std::int64_t tables = 0;
    return db.queryInteger("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'route_change'",
                           tables) == SQLITE_OK &&
           tables == 1;
}

bool complete(SqliteDb& db) {
    std::int64_t tables = 0;
    return db.queryInteger("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN "
                           "('series', 'writer', 'block', 'minute', 'ten_minutes', 'hour', 'journal')",
                           tables) == SQLITE_OK &&
           tables == 7;
}

} // namespace historyschema
