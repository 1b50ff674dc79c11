#pragma once

#include <cstdint>
#include <deque>

class SlotWriter;
class SqliteDb;

// Takes over the journal of a writer that ended without closing its slots
// (killed, or the computer lost power): a few series at a time, its
// echoes there are filed in that writer's blocks (merged with what they
// hold, so doing it twice does no harm), and once all are, its journal
// rows and its entry go. Readers skip journal echoes whose block is there,
// so a fold half done shows every echo once.
class JournalAdopter {
public:
    // A writer on another computer counts as ended when it has not been
    // seen for this long.
    static constexpr std::int64_t SilenceMs = 3600 * 1000;

    JournalAdopter(SqliteDb& db, SlotWriter& slotWriter, std::int64_t self)
        : m_db(db), m_slotWriter(slotWriter), m_self(self) {}

    // Looks for such writers. SQLite's result code.
    int look(std::int64_t nowMs);
    // Folds about `budget` echoes of the first one found.
    int step(std::int64_t budget);
    // Whether the transaction the step was part of was committed: only then
    // does the next step go on from where this one ended.
    void settle(bool committed);
    bool idle() const { return m_ended.empty(); }

private:
    SqliteDb& m_db;
    SlotWriter& m_slotWriter;
    std::int64_t m_self;
    std::deque<std::int64_t> m_ended;
    std::int64_t m_cursor = 0; // the first series id the next step takes
    std::int64_t m_stepCursor = 0;
    bool m_stepFinished = false;
};
