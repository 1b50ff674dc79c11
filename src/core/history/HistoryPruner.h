#pragma once

#include <cstdint>

class SqliteDb;

// Drops what is older than the history keeps, a little at a time: each step
// takes one series and deletes at most a few hundred of its rows, so no
// step holds the file for long however much has piled up. A series whose
// every row is gone goes too.
class HistoryPruner {
public:
    static constexpr int RowsPerStep = 256;

    explicit HistoryPruner(SqliteDb& db) : m_db(db) {}

    // Blocks before `echoesBeforeMs`, summaries before
    // `summariesBeforeMs`. SQLite's result code.
    int step(std::int64_t echoesBeforeMs, std::int64_t summariesBeforeMs);

private:
    SqliteDb& m_db;
    std::int64_t m_series = 0; // the series the next step takes
};
