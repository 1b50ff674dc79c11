#pragma once

#include "history/EchoSummary.h"
#include "history/StoredEcho.h"

#include <cstdint>
#include <vector>

class SlotBuffer;
class SqliteDb;
class SqliteStatement;

// Files a series' echoes of one slot as the block of one writer, merged
// with what that block held, and sums the minutes they fall in, their ten
// minutes and their hour again, over the blocks of every writer of the
// series: the summaries are always what the blocks hold. In the caller's
// transaction.
class SlotWriter {
public:
    explicit SlotWriter(SqliteDb& db) : m_db(db) {}

    // `packed`: the open slot the echoes come from, stored as it is when
    // the block is new and its echoes came in order. SQLite's result code.
    int write(std::int64_t series, const IpAddress& address, std::int64_t slotMs, std::int64_t writer,
              std::vector<StoredEcho> echoes, const SlotBuffer* packed = nullptr);

    // A summary row's values from `first` on: echoes, lost, min_us, max_us,
    // mean_us, median_us, histogram.
    static EchoSummary readSummary(const SqliteStatement& st, int first);

private:
    int writeMinutes(std::int64_t series, std::int64_t slotMs, const std::vector<StoredEcho>& all);
    int writeRollup(std::int64_t series, std::int64_t startMs, std::int64_t lengthMs);
    int writeSummary(const char* sql, std::int64_t series, std::int64_t startMs, const EchoSummary& s);

    SqliteDb& m_db;
};
