#include "history/HistoryWriter.h"

#include "history/HistoryPruner.h"
#include "history/HistorySchema.h"
#include "history/JournalAdopter.h"
#include "history/JournalBlob.h"
#include "history/SlotBuffer.h"
#include "history/SlotWriter.h"
#include "history/SqliteDb.h"
#include "history/WriterIdentity.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

using namespace historyschema;

namespace {

// How often a writer tells the others it still runs, and looks for ended ones.
constexpr std::int64_t kLookMs = 60'000;
// About how many echoes of an ended writer's journal a flush files.
constexpr std::int64_t kAdoptEchoes = 20'000;
// At most how many of its own journal rows a flush drops.
constexpr std::int64_t kJournalRowsDropped = 16;

} // namespace

bool HistoryWriter::commit(const QDateTime& now, bool final) {
    if (m_closed)
        return false;
    const std::int64_t nowMs = now.toMSecsSinceEpoch();
    if (!m_db && !open(now))
        return false;
    std::vector<Closing> closing;
    std::vector<Series*> filed;
    std::vector<SlotBuffer*> journaled;
    const bool registering = m_writerId == 0;
    const int code = transaction(nowMs, final, closing, filed, journaled);
    if (m_adopter)
        m_adopter->settle(code == SQLITE_OK);
    if (code != SQLITE_OK) {
        const QString what = m_db ? m_db->error() : QString();
        for (Series* s : filed)
            s->id = 0;
        if (registering) {
            m_writerId = 0;
            m_adopter.reset();
        }
        return failed(code, what);
    }
    m_routeChanges.clear();
    for (SlotBuffer* slot : journaled) {
        m_pending -= slot->unjournaled();
        m_committed += slot->unjournaled();
        slot->markJournaled();
    }
    // The closed slots, from the last of a series back, so the places stay right.
    std::sort(closing.begin(), closing.end(), [](const Closing& a, const Closing& b) {
        return a.series != b.series ? a.series < b.series : a.slot > b.slot;
    });
    for (const Closing& c : closing) {
        const SlotBuffer& slot = *c.series->openSlots[c.slot];
        m_pending -= slot.unjournaled();
        m_committed += slot.unjournaled();
        c.series->openSlots.erase(c.series->openSlots.begin() + static_cast<std::ptrdiff_t>(c.slot));
    }
    resume();
    if (final) {
        m_closed = true;
        closeFile();
    }
    return m_pending == 0;
}

int HistoryWriter::transaction(std::int64_t nowMs, bool final, std::vector<Closing>& closing,
                               std::vector<Series*>& filed, std::vector<SlotBuffer*>& journaled) {
    int rc = m_db->exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return rc;
    if ((rc = registerWriter(nowMs)) != SQLITE_OK || (rc = fileSeries(filed)) != SQLITE_OK ||
        (rc = fileRouteChanges()) != SQLITE_OK)
        return rc;
    if (!final && m_adopter && (rc = m_adopter->step(kAdoptEchoes)) != SQLITE_OK)
        return rc;
    if ((rc = closeSlots(nowMs, final, closing)) != SQLITE_OK || (rc = writeJournal(closing, journaled)) != SQLITE_OK)
        return rc;
    if (final) {
        SqliteStatement& drop = m_db->statement("DELETE FROM journal WHERE writer = ?1"); // all of it is in blocks
        if ((rc = drop.bind(1, m_writerId).run()) != SQLITE_DONE)
            return rc;
        SqliteStatement& leave = m_db->statement("DELETE FROM writer WHERE id = ?1");
        if ((rc = leave.bind(1, m_writerId).run()) != SQLITE_DONE)
            return rc;
    } else {
        const std::int64_t keep = std::int64_t{m_options.keepDays} * DayMs;
        const std::int64_t summaries = std::int64_t{m_options.summaryDays} * DayMs;
        if ((rc = m_pruner->step(nowMs - keep, nowMs - summaries)) != SQLITE_OK)
            return rc;
        SqliteStatement& old = m_db->statement("DELETE FROM route_change WHERE at_ms < ?1");
        if ((rc = old.bind(1, nowMs - summaries).run()) != SQLITE_DONE)
            return rc;
    }
    return m_db->exec("COMMIT");
}

int HistoryWriter::registerWriter(std::int64_t nowMs) {
    if (m_writerId == 0) {
        const WriterIdentity me = WriterIdentity::self();
        SqliteStatement& st =
            m_db->statement("INSERT INTO writer(machine, boot, pid, started, seen_ms) VALUES(?1, ?2, ?3, ?4, ?5)");
        const int rc = st.bind(1, me.machine).bind(2, me.boot).bind(3, me.pid).bind(4, me.started).bind(5, nowMs).run();
        if (rc != SQLITE_DONE)
            return rc;
        m_writerId = sqlite3_last_insert_rowid(m_db->handle());
        m_nextLookMs = 0;
    }
    if (!m_adopter)
        m_adopter = std::make_unique<JournalAdopter>(*m_db, *m_slotWriter, m_writerId);
    if (nowMs < m_nextLookMs)
        return SQLITE_OK;
    m_nextLookMs = nowMs + kLookMs;
    SqliteStatement& seen = m_db->statement("UPDATE writer SET seen_ms = ?2 WHERE id = ?1");
    const int rc = seen.bind(1, m_writerId).bind(2, nowMs).run();
    return rc != SQLITE_DONE ? rc : m_adopter->look(nowMs);
}

int HistoryWriter::fileSeries(std::vector<Series*>& filed) {
    for (const auto& s : m_series) {
        if (s->id || s->openSlots.empty())
            continue;
        // A series met again is marked as seen now, so that pruning leaves it be.
        SqliteStatement& put =
            m_db->statement("INSERT INTO series(host, address, first_ms, last_ms) VALUES(?1, ?2, ?3, ?3) "
                            "ON CONFLICT(host, address) DO UPDATE SET last_ms = max(last_ms, excluded.last_ms)");
        int rc = put.bind(1, s->host).bind(2, s->addressText).bind(3, s->firstMs).run();
        if (rc != SQLITE_DONE)
            return rc;
        SqliteStatement& get = m_db->statement("SELECT id FROM series WHERE host = ?1 AND address = ?2");
        rc = get.bind(1, s->host).bind(2, s->addressText).step();
        if (rc != SQLITE_ROW)
            return rc == SQLITE_DONE ? SQLITE_INTERNAL : rc;
        s->id = get.integer(0);
        get.reset();
        filed.push_back(s.get());
    }
    return SQLITE_OK;
}

int HistoryWriter::fileRouteChanges() {
    for (const auto& [host, change] : m_routeChanges) {
        SqliteStatement& put =
            m_db->statement("INSERT INTO route_change(host, hop, at_ms, before, after) VALUES(?1, ?2, ?3, ?4, ?5)");
        const int rc = put.bind(1, host)
                           .bind(2, change.hop)
                           .bind(3, change.atMs)
                           .bind(4, QString::fromStdString(change.before.text()))
                           .bind(5, QString::fromStdString(change.after.text()))
                           .run();
        if (rc != SQLITE_DONE)
            return rc;
    }
    return SQLITE_OK;
}

int HistoryWriter::closeSlots(std::int64_t nowMs, bool final, std::vector<Closing>& closing) {
    for (const auto& s : m_series)
        for (std::size_t i = 0; i < s->openSlots.size(); ++i) {
            const std::int64_t start = s->openSlots[i]->startMs();
            // Ended, or far ahead of a clock that was put back.
            if (final || nowMs >= start + SlotMs + m_options.graceMs || nowMs + SlotMs < start)
                closing.push_back({s.get(), i});
        }
    // The oldest first, a bounded number a flush: a whole folder's slots
    // end together and are closed over the next minutes.
    std::sort(closing.begin(), closing.end(), [](const Closing& a, const Closing& b) {
        return a.series->openSlots[a.slot]->startMs() < b.series->openSlots[b.slot]->startMs();
    });
    const std::size_t budget = std::max<std::size_t>(32, m_series.size() / 150);
    if (!final && closing.size() > budget)
        closing.resize(budget);
    for (const Closing& c : closing) {
        const SlotBuffer& slot = *c.series->openSlots[c.slot];
        const int rc =
            m_slotWriter->write(c.series->id, c.series->address, slot.startMs(), m_writerId, slot.echoes(), &slot);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int HistoryWriter::writeJournal(const std::vector<Closing>& closing, std::vector<SlotBuffer*>& journaled) {
    std::vector<const SlotBuffer*> closed;
    closed.reserve(closing.size());
    for (const Closing& c : closing)
        closed.push_back(c.series->openSlots[c.slot].get());
    std::sort(closed.begin(), closed.end());
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    std::int64_t oldestOpen = std::numeric_limits<std::int64_t>::max();
    std::vector<std::pair<Series*, SlotBuffer*>> sections;
    for (const auto& s : m_series)
        for (const auto& slot : s->openSlots) {
            if (std::binary_search(closed.begin(), closed.end(), slot.get()))
                continue;
            oldestOpen = std::min(oldestOpen, slot->startMs());
            if (slot->unjournaled() == 0)
                continue;
            first = std::min(first, slot->firstUnjournaledMs());
            last = std::max(last, slot->lastMs());
            sections.emplace_back(s.get(), slot.get());
        }
    if (!sections.empty()) {
        JournalBlob blob;
        for (const auto& [s, slot] : sections) {
            blob.add(s->id, slot->section(first));
            journaled.push_back(slot);
        }
        const std::string data = blob.finish();
        SqliteStatement& put =
            m_db->statement("INSERT INTO journal(writer, first_ms, last_ms, data) VALUES(?1, ?2, ?3, ?4)");
        put.bind(1, m_writerId).bind(2, first).bind(3, last).bindBlob(4, data);
        const int rc = put.run();
        put.reset();
        if (rc != SQLITE_DONE)
            return rc;
    }
    // Rows whose every echo lies before the oldest open slot are all in
    // blocks now (readers skip them). A whole slot's worth of them comes
    // free at once when a folder's last slot closes; they go a few a flush.
    SqliteStatement& drop = m_db->statement("DELETE FROM journal WHERE id IN (SELECT id FROM journal WHERE writer = "
                                            "?1 AND last_ms < ?2 ORDER BY id LIMIT ?3)");
    const int rc = drop.bind(1, m_writerId).bind(2, oldestOpen).bind(3, kJournalRowsDropped).run();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}
