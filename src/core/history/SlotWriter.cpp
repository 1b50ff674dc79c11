#include "history/SlotWriter.h"

#include "history/EchoCodec.h"
#include "history/HistorySchema.h"
#include "history/SlotBuffer.h"
#include "history/SqliteDb.h"

#include <sqlite3.h>

#include <algorithm>
#include <tuple>

using namespace historyschema;

namespace {

void bindRtt(SqliteStatement& st, int index, std::int64_t us) {
    if (us < 0)
        st.bindNull(index);
    else
        st.bind(index, us);
}

std::int64_t rttColumn(const SqliteStatement& st, int column) {
    return st.isNull(column) ? -1 : st.integer(column);
}

} // namespace

int SlotWriter::write(std::int64_t series, const IpAddress& address, std::int64_t slotMs, std::int64_t writer,
                      std::vector<StoredEcho> echoes, const SlotBuffer* packed) {
    std::vector<StoredEcho> own;
    std::vector<StoredEcho> others;
    SqliteStatement& read =
        m_db.statement("SELECT writer, utc_offset, data FROM block WHERE series = ?1 AND slot_ms = ?2");
    read.bind(1, series).bind(2, slotMs);
    int rc = SQLITE_OK;
    while ((rc = read.step()) == SQLITE_ROW) {
        const auto offset = static_cast<int>(read.integer(1));
        // A damaged block is replaced by what can still be read of it.
        EchoCodec::decodeAll(read.blob(2), address, EchoCodec::blockStart(slotMs, offset),
                             read.integer(0) == writer ? own : others);
    }
    read.reset();
    if (rc != SQLITE_DONE)
        return rc;

    std::string encoded;
    std::string_view data;
    int startOffset = 0;
    if (packed && own.empty() && packed->inOrder()) {
        data = packed->bytes();
        startOffset = packed->startOffset();
    } else {
        echoes.insert(echoes.end(), own.begin(), own.end());
        // An echo that is both in the block and in the journal taken over
        // again is the same in every value and kept once; echoes that only
        // share their sent time (one millisecond, a clock set back) are all
        // kept.
        const auto key = [](const StoredEcho& e) {
            return std::tie(e.sentMs, e.outcome, e.status, e.rttUs, e.ttl, e.offsetS, e.from.family, e.from.bytes,
                            e.from.scope);
        };
        std::sort(echoes.begin(), echoes.end(),
                  [&key](const StoredEcho& a, const StoredEcho& b) { return key(a) < key(b); });
        echoes.erase(std::unique(echoes.begin(), echoes.end()), echoes.end());
        if (echoes.empty())
            return SQLITE_OK;
        startOffset = echoes.front().offsetS;
        EchoCodec codec(address, EchoCodec::blockStart(slotMs, startOffset));
        for (const StoredEcho& e : echoes)
            codec.encode(e, encoded);
        data = encoded;
    }
    SqliteStatement& put = m_db.statement("INSERT OR REPLACE INTO block(series, slot_ms, writer, echoes, "
                                          "utc_offset, data) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    put.bind(1, series).bind(2, slotMs).bind(3, writer).bind(4, static_cast<std::int64_t>(echoes.size()));
    put.bind(5, startOffset).bindBlob(6, data);
    rc = put.run();
    put.reset();
    if (rc != SQLITE_DONE)
        return rc;

    std::int64_t first = echoes.front().sentMs;
    std::int64_t last = first;
    for (const StoredEcho& e : echoes) {
        first = std::min(first, e.sentMs);
        last = std::max(last, e.sentMs);
    }
    echoes.insert(echoes.end(), others.begin(), others.end());
    if ((rc = writeMinutes(series, slotMs, echoes)) != SQLITE_OK ||
        (rc = writeRollup(series, floorTo(slotMs, TenMinutesMs), TenMinutesMs)) != SQLITE_OK ||
        (rc = writeRollup(series, floorTo(slotMs, HourMs), HourMs)) != SQLITE_OK)
        return rc;
    SqliteStatement& span =
        m_db.statement("UPDATE series SET first_ms = min(first_ms, ?2), last_ms = max(last_ms, ?3) WHERE id = ?1");
    rc = span.bind(1, series).bind(2, first).bind(3, last).run();
    span.reset();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int SlotWriter::writeMinutes(std::int64_t series, std::int64_t slotMs, const std::vector<StoredEcho>& all) {
    std::vector<StoredEcho> minute;
    for (std::int64_t start = slotMs; start < slotMs + SlotMs; start += MinuteMs) {
        minute.clear();
        for (const StoredEcho& e : all)
            if (e.sentMs >= start && e.sentMs < start + MinuteMs)
                minute.push_back(e);
        if (minute.empty())
            continue;
        const int rc = writeSummary("INSERT OR REPLACE INTO minute VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)", series,
                                    start, EchoSummary::of(minute));
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int SlotWriter::writeRollup(std::int64_t series, std::int64_t startMs, std::int64_t lengthMs) {
    // Ten minutes of minutes, an hour of ten minutes.
    const bool ten = lengthMs == TenMinutesMs;
    std::vector<EchoSummary> parts;
    SqliteStatement& read =
        m_db.statement(ten ? "SELECT echoes, lost, min_us, max_us, mean_us, median_us, histogram FROM minute "
                             "WHERE series = ?1 AND start_ms >= ?2 AND start_ms < ?3"
                           : "SELECT echoes, lost, min_us, max_us, mean_us, median_us, histogram FROM ten_minutes "
                             "WHERE series = ?1 AND start_ms >= ?2 AND start_ms < ?3");
    read.bind(1, series).bind(2, startMs).bind(3, startMs + lengthMs);
    int rc = SQLITE_OK;
    while ((rc = read.step()) == SQLITE_ROW)
        parts.push_back(readSummary(read, 0));
    read.reset();
    if (rc != SQLITE_DONE)
        return rc;
    return writeSummary(ten ? "INSERT OR REPLACE INTO ten_minutes VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"
                            : "INSERT OR REPLACE INTO hour VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                        series, startMs, EchoSummary::merged(parts));
}

int SlotWriter::writeSummary(const char* sql, std::int64_t series, std::int64_t startMs, const EchoSummary& s) {
    std::string histogram;
    s.histogram.encode(histogram);
    SqliteStatement& put = m_db.statement(sql);
    put.bind(1, series).bind(2, startMs).bind(3, s.echoes).bind(4, s.lost);
    bindRtt(put, 5, s.minUs);
    bindRtt(put, 6, s.maxUs);
    bindRtt(put, 7, s.meanUs);
    bindRtt(put, 8, s.medianUs);
    put.bindBlob(9, histogram);
    const int rc = put.run();
    put.reset();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

EchoSummary SlotWriter::readSummary(const SqliteStatement& st, int first) {
    EchoSummary s;
    s.echoes = st.integer(first);
    s.lost = st.integer(first + 1);
    s.minUs = rttColumn(st, first + 2);
    s.maxUs = rttColumn(st, first + 3);
    s.meanUs = rttColumn(st, first + 4);
    s.medianUs = rttColumn(st, first + 5);
    const std::string_view h = st.blob(first + 6);
    s.histogram.decode(reinterpret_cast<const unsigned char*>(h.data()), h.size());
    return s;
}
