#include "history/JournalAdopter.h"

#include "history/HistorySchema.h"
#include "history/JournalBlob.h"
#include "history/SlotWriter.h"
#include "history/SqliteDb.h"
#include "history/WriterIdentity.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

int JournalAdopter::look(std::int64_t nowMs) {
    SqliteStatement& st =
        m_db.statement("SELECT id, machine, boot, pid, started, seen_ms FROM writer WHERE id <> ?1 ORDER BY id");
    st.bind(1, m_self);
    int rc = SQLITE_OK;
    while ((rc = st.step()) == SQLITE_ROW) {
        const std::int64_t id = st.integer(0);
        if (std::find(m_ended.begin(), m_ended.end(), id) != m_ended.end())
            continue;
        const WriterIdentity other{st.text(1), st.text(2), st.integer(3), st.integer(4)};
        const std::optional<bool> running = other.running();
        if (running ? !*running : st.integer(5) < nowMs - SilenceMs)
            m_ended.push_back(id);
    }
    st.reset();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int JournalAdopter::step(std::int64_t budget) {
    m_stepCursor = m_cursor;
    m_stepFinished = false;
    if (m_ended.empty())
        return SQLITE_OK;
    const std::int64_t writer = m_ended.front();
    struct Row {
        std::int64_t id;
        std::int64_t baseMs;
        std::int64_t size;
    };
    std::vector<Row> rows;
    SqliteStatement& list =
        m_db.statement("SELECT id, first_ms, length(data) FROM journal WHERE writer = ?1 ORDER BY id");
    list.bind(1, writer);
    int rc = SQLITE_OK;
    while ((rc = list.step()) == SQLITE_ROW)
        rows.push_back({list.integer(0), list.integer(1), list.integer(2)});
    list.reset();
    if (rc != SQLITE_DONE)
        return rc;

    std::int64_t lastSeries = 0;
    if (!rows.empty() && (rc = m_db.queryInteger("SELECT ifnull(max(id), 0) FROM series", lastSeries)) != SQLITE_OK)
        return rc;
    if (!rows.empty() && m_cursor <= lastSeries) {
        // The series of this step, about `budget` echoes' worth: a journal
        // row holds about one echo of each series it names.
        const std::int64_t take = std::max<std::int64_t>(1, budget / static_cast<std::int64_t>(rows.size()));
        std::vector<std::int64_t> wanted;
        std::map<std::int64_t, IpAddress> addresses;
        SqliteStatement& series = m_db.statement("SELECT id, address FROM series WHERE id >= ?1 AND id < ?2");
        series.bind(1, m_cursor).bind(2, m_cursor + take);
        while ((rc = series.step()) == SQLITE_ROW) {
            wanted.push_back(series.integer(0));
            addresses[series.integer(0)] = IpAddress::parse(series.text(1).toStdString()).value_or(IpAddress{});
        }
        series.reset();
        if (rc != SQLITE_DONE)
            return rc;
        std::sort(wanted.begin(), wanted.end());

        std::map<std::pair<std::int64_t, std::int64_t>, std::vector<StoredEcho>> bySlot;
        sqlite3_blob* blob = nullptr;
        for (const Row& row : rows) {
            if (wanted.empty())
                break;
            rc = blob ? sqlite3_blob_reopen(blob, row.id)
                      : sqlite3_blob_open(m_db.handle(), "main", "journal", "data", row.id, 0, &blob);
            if (rc != SQLITE_OK)
                break;
            const auto read = [blob](std::uint32_t offset, std::uint32_t size, char* out) {
                return sqlite3_blob_read(blob, out, static_cast<int>(size), static_cast<int>(offset)) == SQLITE_OK;
            };
            std::vector<StoredEcho> echoes;
            // What a damaged row still holds is taken; the rest of it is lost.
            JournalBlob::sectionsOf(
                read, static_cast<std::uint32_t>(row.size), wanted, [&](std::int64_t s, std::string_view section) {
                    echoes.clear();
                    JournalBlob::decode(section, row.baseMs, addresses[s], echoes);
                    for (const StoredEcho& e : echoes)
                        bySlot[{s, historyschema::floorTo(e.sentMs, historyschema::SlotMs)}].push_back(e);
                });
        }
        sqlite3_blob_close(blob);
        if (rc != SQLITE_OK)
            return rc;
        for (auto& [key, echoes] : bySlot)
            if ((rc = m_slotWriter.write(key.first, addresses[key.first], key.second, writer, std::move(echoes))) !=
                SQLITE_OK)
                return rc;
        m_stepCursor = m_cursor + take;
        if (m_stepCursor <= lastSeries)
            return SQLITE_OK;
    }
    // All of it is filed.
    SqliteStatement& drop = m_db.statement("DELETE FROM journal WHERE writer = ?1");
    rc = drop.bind(1, writer).run();
    drop.reset();
    if (rc != SQLITE_DONE)
        return rc;
    SqliteStatement& forget = m_db.statement("DELETE FROM writer WHERE id = ?1");
    rc = forget.bind(1, writer).run();
    forget.reset();
    if (rc != SQLITE_DONE)
        return rc;
    m_stepFinished = true;
    return SQLITE_OK;
}

void JournalAdopter::settle(bool committed) {
    if (!committed || m_ended.empty())
        return;
    m_cursor = m_stepCursor;
    if (m_stepFinished) {
        m_ended.pop_front();
        m_cursor = 0;
    }
    m_stepFinished = false;
}
