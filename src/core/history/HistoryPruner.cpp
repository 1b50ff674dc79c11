#include "history/HistoryPruner.h"

#include "history/SqliteDb.h"

#include <sqlite3.h>

int HistoryPruner::step(std::int64_t echoesBeforeMs, std::int64_t summariesBeforeMs) {
    SqliteStatement& next = m_db.statement("SELECT id, last_ms FROM series WHERE id >= ?1 ORDER BY id LIMIT 1");
    int rc = next.bind(1, m_series).step();
    if (rc == SQLITE_DONE && m_series > 0) {
        next.reset();
        rc = next.bind(1, 0).step();
    }
    if (rc != SQLITE_ROW) {
        next.reset();
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    const std::int64_t series = next.integer(0);
    const std::int64_t lastMs = next.integer(1);
    next.reset();

    // Each delete takes the oldest rows, at most RowsPerStep of them.
    static constexpr const char* kDeletes[] = {
        "DELETE FROM block WHERE id IN (SELECT id FROM block WHERE series = ?1 AND slot_ms < ?2 "
        "ORDER BY slot_ms LIMIT ?3)",
        "DELETE FROM minute WHERE series = ?1 AND start_ms IN (SELECT start_ms FROM minute WHERE series = ?1 "
        "AND start_ms < ?2 ORDER BY start_ms LIMIT ?3)",
        "DELETE FROM ten_minutes WHERE series = ?1 AND start_ms IN (SELECT start_ms FROM ten_minutes WHERE "
        "series = ?1 AND start_ms < ?2 ORDER BY start_ms LIMIT ?3)",
        "DELETE FROM hour WHERE series = ?1 AND start_ms IN (SELECT start_ms FROM hour WHERE series = ?1 "
        "AND start_ms < ?2 ORDER BY start_ms LIMIT ?3)",
    };
    bool more = false;
    for (int i = 0; i < 4; ++i) {
        SqliteStatement& del = m_db.statement(kDeletes[i]);
        del.bind(1, series).bind(2, i == 0 ? echoesBeforeMs : summariesBeforeMs).bind(3, RowsPerStep);
        rc = del.run();
        del.reset();
        if (rc != SQLITE_DONE)
            return rc;
        more = more || sqlite3_changes(m_db.handle()) == RowsPerStep;
    }
    if (!more && lastMs < summariesBeforeMs) {
        // Nothing is left of it; a writer that meets the series again files it anew.
        SqliteStatement& drop = m_db.statement(
            "DELETE FROM series WHERE id = ?1 AND last_ms < ?2 AND NOT EXISTS (SELECT 1 FROM block WHERE series = "
            "?1) AND NOT EXISTS (SELECT 1 FROM minute WHERE series = ?1)");
        rc = drop.bind(1, series).bind(2, summariesBeforeMs).run();
        drop.reset();
        if (rc != SQLITE_DONE)
            return rc;
    }
    // A series with more to go is taken again next time.
    m_series = more ? series : series + 1;
    return SQLITE_OK;
}
