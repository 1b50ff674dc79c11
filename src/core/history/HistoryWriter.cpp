#include "history/HistoryWriter.h"

#include "history/HistoryFile.h"
#include "history/HistoryPruner.h"
#include "history/HistorySchema.h"
#include "history/JournalAdopter.h"
#include "history/SlotBuffer.h"
#include "history/SlotWriter.h"
#include "history/SqliteDb.h"
#include "history/StoredEcho.h"

#include <sqlite3.h>

#include <algorithm>

using namespace historyschema;

namespace {

// Openings the file may be busy for before it is said.
constexpr int kBusyOpens = 30;

} // namespace

HistoryWriter::HistoryWriter(QString path, const HistoryOptions& options, Report report, const QDateTime& now)
    : m_path(std::move(path)), m_options(options), m_report(std::move(report)) {
    open(now);
}

HistoryWriter::~HistoryWriter() {
    closeFile();
}

HistoryWriter::Series& HistoryWriter::seriesFor(const QString& host, const IpAddress& address) {
    std::vector<Series*>& list = m_byHost[host];
    for (Series* s : list)
        if (s->address == address)
            return *s;
    auto s = std::make_unique<Series>();
    s->host = host;
    s->address = address;
    s->addressText = QString::fromStdString(address.text());
    list.push_back(s.get());
    m_series.push_back(std::move(s));
    return *m_series.back();
}

void HistoryWriter::addRouteChange(const QString& host, const RouteChange& change) {
    if (!m_closed)
        m_routeChanges.emplace_back(host, change);
}

void HistoryWriter::add(const QString& host, const IpAddress& address, const StoredEcho& echo) {
    if (m_closed)
        return;
    Series& s = seriesFor(host, address);
    if (s.openSlots.empty() && s.id && echo.sentMs - s.lastMs > DayMs)
        s.id = 0; // filed again at the next flush: its entry may have been pruned meanwhile
    if (s.openSlots.empty() && !s.id)
        s.firstMs = echo.sentMs;
    s.lastMs = std::max(s.lastMs, echo.sentMs);
    const std::int64_t start = floorTo(echo.sentMs, SlotMs);
    auto at = s.openSlots.end();
    while (at != s.openSlots.begin() && (*(at - 1))->startMs() > start)
        --at;
    if (at == s.openSlots.begin() || (*(at - 1))->startMs() != start)
        at = s.openSlots.insert(at, std::make_unique<SlotBuffer>(start, s.address, echo.offsetS)) + 1;
    (*(at - 1))->append(echo);
    ++m_pending;
}

bool HistoryWriter::open(const QDateTime& now) {
    if (m_closed)
        return false;
    HistoryFile::Opened opened = HistoryFile::openForWriting(m_path, now, m_options.checkLimitBytes, m_broken);
    m_broken = false;
    if (!opened.db) {
        // Another writer making the file, or busy with it, is waited for a while before it is worth a word.
        const bool busy = opened.code == SQLITE_BUSY || opened.code == SQLITE_LOCKED;
        m_busyOpens = busy ? m_busyOpens + 1 : 0;
        if (!busy || m_busyOpens > kBusyOpens)
            say(QStringLiteral("The history %1 is not kept for now: %2.").arg(m_path, opened.message));
        return false;
    }
    m_busyOpens = 0;
    if (!opened.message.isEmpty() && m_report)
        m_report(QStringLiteral("The history %1 %2.").arg(m_path, opened.message));
    m_db = std::move(opened.db);
    const std::uint64_t identity = HistoryFile::identity(m_path);
    if (identity != m_fileIdentity) {
        // Another file: nothing of ours is in it yet.
        m_fileIdentity = identity;
        m_writerId = 0;
        m_pending = 0;
        for (const auto& s : m_series) {
            s->id = 0;
            for (const auto& slot : s->openSlots) {
                m_committed -= slot->count() - slot->unjournaled();
                slot->forgetJournal();
                m_pending += slot->count();
            }
        }
    }
    m_slotWriter = std::make_unique<SlotWriter>(*m_db);
    m_pruner = std::make_unique<HistoryPruner>(*m_db);
    m_adopter.reset();
    m_nextLookMs = 0;
    return true;
}

void HistoryWriter::closeFile() {
    m_adopter.reset();
    m_pruner.reset();
    m_slotWriter.reset();
    m_db.reset();
}

void HistoryWriter::say(const QString& message) {
    if (m_failing)
        return;
    m_failing = true;
    if (m_report)
        m_report(message);
}

void HistoryWriter::resume() {
    if (!m_failing)
        return;
    m_failing = false;
    if (m_report)
        m_report(QStringLiteral("The history %1 is written again.").arg(m_path));
}

bool HistoryWriter::failed(int code, const QString& what) {
    if (m_db)
        m_db->rollback();
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return false; // another writer's turn: tried again at the next flush
    case SQLITE_FULL:
        // A checkpoint lets the log be written from its start again, where
        // the file has room for its pages.
        sqlite3_wal_checkpoint_v2(m_db->handle(), "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        say(QStringLiteral("The history %1 cannot be written: the disk is full. Echoes are kept in memory for a "
                           "while and written when there is room again.")
                .arg(m_path));
        return false;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        m_broken = true;
        closeFile();
        return false;
    default:
        say(QStringLiteral("The history %1 cannot be written: %2.").arg(m_path, what));
        closeFile(); // opened again at the next flush
        return false;
    }
}
