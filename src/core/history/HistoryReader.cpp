#include "history/HistoryReader.h"

#include "history/BucketBuilder.h"
#include "history/EchoCodec.h"
#include "history/HistoryFile.h"
#include "history/HistorySchema.h"
#include "history/JournalBlob.h"
#include "history/SqliteDb.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

using namespace historyschema;

namespace {

// Journal rows up to this size are read whole, larger ones a piece at a time.
constexpr std::int64_t kInlineJournal = 16384;

} // namespace

HistoryReader::HistoryReader(QString path) : m_path(std::move(path)) {}

HistoryReader::~HistoryReader() = default;

bool HistoryReader::begin() {
    const std::uint64_t identity = HistoryFile::identity(m_path);
    if (!m_db || identity != m_identity) {
        m_db = HistoryFile::openForReading(m_path);
        m_identity = m_db ? identity : 0;
        // Room for a month of one host's summaries, read again at each zoom.
        if (m_db)
            m_db->exec("PRAGMA cache_size = -32768");
    }
    return m_db && m_db->exec("BEGIN") == SQLITE_OK;
}

void HistoryReader::end() {
    if (m_db)
        m_db->rollback();
}

std::vector<HistoryReader::Series> HistoryReader::seriesOf(const QString& host) {
    std::vector<Series> out;
    SqliteStatement& st = m_db->statement("SELECT id, address FROM series WHERE host = ?1 ORDER BY id");
    st.bind(1, host);
    while (st.step() == SQLITE_ROW)
        out.push_back({st.integer(0), host, IpAddress::parse(st.text(1).toStdString()).value_or(IpAddress{})});
    st.reset();
    return out;
}

void HistoryReader::journalEchoes(const std::vector<Series>& series, std::int64_t fromMs, std::int64_t toMs,
                                  const Take& take) {
    struct Row {
        std::int64_t id;
        std::int64_t writer;
        std::int64_t baseMs;
        std::int64_t size;
        std::string data; // when small
    };
    std::vector<Row> rows;
    SqliteStatement& list = m_db->statement(
        "SELECT id, writer, first_ms, length(data), CASE WHEN length(data) <= ?3 THEN data END FROM journal "
        "WHERE last_ms >= ?1 AND first_ms < ?2 ORDER BY id");
    list.bind(1, fromMs).bind(2, toMs).bind(3, kInlineJournal);
    while (list.step() == SQLITE_ROW)
        rows.push_back({list.integer(0), list.integer(1), list.integer(2), list.integer(3),
                        list.isNull(4) ? std::string() : std::string(list.blob(4))});
    list.reset();
    if (rows.empty() || series.empty())
        return;
    std::int64_t oldest = rows.front().baseMs;
    for (const Row& r : rows)
        oldest = std::min(oldest, r.baseMs);

    // The bySlot that have their block already, by series and writer.
    std::set<std::tuple<std::int64_t, std::int64_t, std::int64_t>> written;
    std::map<std::int64_t, const Series*> byId;
    std::vector<std::int64_t> wanted;
    for (const Series& s : series) {
        byId[s.id] = &s;
        wanted.push_back(s.id);
        SqliteStatement& st = m_db->statement("SELECT slot_ms, writer FROM block WHERE series = ?1 AND slot_ms >= ?2");
        st.bind(1, s.id).bind(2, floorTo(oldest, SlotMs));
        while (st.step() == SQLITE_ROW)
            written.emplace(s.id, st.integer(0), st.integer(1));
        st.reset();
    }
    std::sort(wanted.begin(), wanted.end());

    sqlite3_blob* blob = nullptr;
    std::vector<StoredEcho> echoes;
    for (const Row& row : rows) {
        JournalBlob::Read read;
        if (row.size <= kInlineJournal) {
            read = [&row](std::uint32_t offset, std::uint32_t size, char* out) {
                if (std::size_t{offset} + size > row.data.size())
                    return false;
                std::memcpy(out, row.data.data() + offset, size);
                return true;
            };
        } else {
            const int rc = blob ? sqlite3_blob_reopen(blob, row.id)
                                : sqlite3_blob_open(m_db->handle(), "main", "journal", "data", row.id, 0, &blob);
            if (rc != SQLITE_OK)
                continue;
            read = [blob](std::uint32_t offset, std::uint32_t size, char* out) {
                return sqlite3_blob_read(blob, out, static_cast<int>(size), static_cast<int>(offset)) == SQLITE_OK;
            };
        }
        JournalBlob::sectionsOf(read, static_cast<std::uint32_t>(row.size), wanted,
                                [&](std::int64_t id, std::string_view section) {
                                    const Series& s = *byId[id];
                                    echoes.clear();
                                    JournalBlob::decode(section, row.baseMs, s.address, echoes);
                                    for (const StoredEcho& e : echoes)
                                        if (e.sentMs >= fromMs && e.sentMs < toMs &&
                                            !written.count({id, floorTo(e.sentMs, SlotMs), row.writer}))
                                            take(s, e);
                                });
    }
    sqlite3_blob_close(blob);
}

void HistoryReader::blockEchoes(const Series& series, std::int64_t fromMs, std::int64_t toMs, const Take& take) {
    SqliteStatement& st = m_db->statement("SELECT slot_ms, utc_offset, data FROM block WHERE series = ?1 AND "
                                          "slot_ms > ?2 AND slot_ms < ?3 ORDER BY slot_ms");
    st.bind(1, series.id).bind(2, fromMs - SlotMs).bind(3, toMs);
    std::vector<StoredEcho> echoes;
    while (st.step() == SQLITE_ROW) {
        echoes.clear();
        EchoCodec::decodeAll(st.blob(2), series.address,
                             EchoCodec::blockStart(st.integer(0), static_cast<int>(st.integer(1))), echoes);
        for (const StoredEcho& e : echoes)
            if (e.sentMs >= fromMs && e.sentMs < toMs)
                take(series, e);
    }
    st.reset();
}

QList<HistoryHost> HistoryReader::hosts() {
    QList<HistoryHost> out;
    if (!begin())
        return out;
    struct Entry {
        QString host;
        QString address;
        std::int64_t firstMs;
        std::int64_t lastMs;
    };
    std::map<std::int64_t, Entry> series;
    SqliteStatement& st = m_db->statement("SELECT id, host, address, first_ms, last_ms FROM series");
    while (st.step() == SQLITE_ROW)
        series[st.integer(0)] = {st.text(1), st.text(2), st.integer(3), st.integer(4)};
    st.reset();
    // Series a writer has open are in its latest journal row.
    SqliteStatement& latest =
        m_db->statement("SELECT j.id, j.last_ms, length(j.data) FROM journal j JOIN (SELECT max(id) AS id FROM "
                        "journal GROUP BY writer) USING (id)");
    std::vector<std::tuple<std::int64_t, std::int64_t, std::int64_t>> rows;
    while (latest.step() == SQLITE_ROW)
        rows.emplace_back(latest.integer(0), latest.integer(1), latest.integer(2));
    latest.reset();
    sqlite3_blob* blob = nullptr;
    for (const auto& [id, lastMs, size] : rows) {
        if ((blob ? sqlite3_blob_reopen(blob, id)
                  : sqlite3_blob_open(m_db->handle(), "main", "journal", "data", id, 0, &blob)) != SQLITE_OK)
            continue;
        std::vector<std::int64_t> ids;
        JournalBlob::seriesIn(
            [blob](std::uint32_t offset, std::uint32_t n, char* bytes) {
                return sqlite3_blob_read(blob, bytes, static_cast<int>(n), static_cast<int>(offset)) == SQLITE_OK;
            },
            static_cast<std::uint32_t>(size), ids);
        for (const std::int64_t s : ids)
            if (auto it = series.find(s); it != series.end())
                it->second.lastMs = std::max(it->second.lastMs, lastMs);
    }
    sqlite3_blob_close(blob);
    end();

    std::map<QString, HistoryHost> byHost;
    for (const auto& [id, e] : series) {
        auto [it, fresh] = byHost.try_emplace(e.host, HistoryHost{e.host, e.address, e.firstMs, e.lastMs});
        HistoryHost& h = it->second;
        if (fresh)
            continue;
        h.firstMs = std::min<qint64>(h.firstMs, e.firstMs);
        if (e.lastMs >= h.lastMs) {
            h.lastMs = e.lastMs;
            h.address = e.address;
        }
    }
    for (auto& [host, h] : byHost)
        out.append(h);
    return out;
}

QList<RouteChange> HistoryReader::routeChanges(const QString& host, qint64 fromMs, qint64 toMs) {
    QList<RouteChange> out;
    if (!begin())
        return out;
    if (historyschema::hasRouteChanges(*m_db)) {
        SqliteStatement& st = m_db->statement("SELECT hop, at_ms, before, after FROM route_change WHERE host = ?1 AND "
                                              "at_ms >= ?2 AND at_ms < ?3 ORDER BY at_ms");
        st.bind(1, host).bind(2, fromMs).bind(3, toMs);
        while (st.step() == SQLITE_ROW) {
            RouteChange change;
            change.hop = static_cast<int>(st.integer(0));
            change.atMs = st.integer(1);
            change.before = IpAddress::parse(st.text(2).toStdString()).value_or(IpAddress{});
            change.after = IpAddress::parse(st.text(3).toStdString()).value_or(IpAddress{});
            out.append(change);
        }
        st.reset();
    }
    end();
    return out;
}

QList<HistoryBucket> HistoryReader::buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) {
    if (columns <= 0 || toMs <= fromMs)
        return {};
    BucketBuilder builder(fromMs, toMs, columns);
    if (!begin())
        return builder.finish();
    const std::vector<Series> series = seriesOf(host);
    const std::int64_t columnMs = (toMs - fromMs) / columns;
    const auto addEcho = [&builder](const Series&, const StoredEcho& e) {
        builder.addEcho(e.sentMs, e.answered(), e.rttUs);
    };
    const auto addSummaries = [&](const char* sql, std::int64_t seriesId, std::int64_t lengthMs, std::int64_t to) {
        SqliteStatement& st = m_db->statement(sql);
        st.bind(1, seriesId).bind(2, fromMs - lengthMs).bind(3, to);
        while (st.step() == SQLITE_ROW)
            builder.addSummary(st.integer(0), lengthMs, st.integer(1), st.integer(2), st.isNull(3) ? -1 : st.integer(3),
                               st.isNull(4) ? -1 : st.integer(4), st.blob(5));
        st.reset();
    };
    static constexpr const char* kMinutes = "SELECT start_ms, echoes, lost, min_us, max_us, histogram FROM minute "
                                            "WHERE series = ?1 AND start_ms > ?2 AND start_ms < ?3";
    static constexpr const char* kTens = "SELECT start_ms, echoes, lost, min_us, max_us, histogram FROM ten_minutes "
                                         "WHERE series = ?1 AND start_ms > ?2 AND start_ms < ?3";
    static constexpr const char* kHours = "SELECT start_ms, echoes, lost, min_us, max_us, histogram FROM hour "
                                          "WHERE series = ?1 AND start_ms > ?2 AND start_ms < ?3";
    for (const Series& s : series) {
        if (columnMs <= EchoColumnMs) {
            // Echoes where they are kept, minutes before.
            std::int64_t oldest = toMs;
            SqliteStatement& st = m_db->statement("SELECT min(slot_ms) FROM block WHERE series = ?1");
            if (st.bind(1, s.id).step() == SQLITE_ROW && !st.isNull(0))
                oldest = std::min<std::int64_t>(toMs, st.integer(0));
            st.reset();
            if (oldest > fromMs)
                addSummaries(kMinutes, s.id, MinuteMs, oldest);
            blockEchoes(s, std::max<std::int64_t>(fromMs, oldest), toMs, addEcho);
        } else if (columnMs < MinuteColumnMs) {
            addSummaries(kMinutes, s.id, MinuteMs, toMs);
        } else if (columnMs < TenMinuteColumnMs) {
            addSummaries(kTens, s.id, TenMinutesMs, toMs);
        } else {
            addSummaries(kHours, s.id, HourMs, toMs);
        }
    }
    journalEchoes(series, fromMs, toMs, addEcho);
    end();
    return builder.finish();
}

void HistoryReader::forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                                const std::function<bool(const EchoSample&)>& take) {
    if (toMs <= fromMs || !begin())
        return;
    const std::vector<Series> series = seriesOf(host);
    // The journal's echoes by slot; the blocks are read a slot at a time,
    // every series' together, and each slot's echoes given in time order.
    using Entry = std::pair<const Series*, StoredEcho>;
    std::map<std::int64_t, std::vector<Entry>> bySlot;
    journalEchoes(series, fromMs, toMs, [&bySlot](const Series& s, const StoredEcho& e) {
        bySlot[floorTo(e.sentMs, SlotMs)].push_back({&s, e});
    });
    std::int64_t slot = floorTo(fromMs, SlotMs);
    bool going = true;
    while (going && slot < toMs) {
        // The next slot with a block of any of the series, or in the journal.
        std::int64_t next = toMs;
        for (const Series& s : series) {
            SqliteStatement& st =
                m_db->statement("SELECT min(slot_ms) FROM block WHERE series = ?1 AND slot_ms >= ?2 AND slot_ms < ?3");
            if (st.bind(1, s.id).bind(2, slot).bind(3, toMs).step() == SQLITE_ROW && !st.isNull(0))
                next = std::min<std::int64_t>(next, st.integer(0));
            st.reset();
        }
        if (auto it = bySlot.lower_bound(slot); it != bySlot.end())
            next = std::min(next, it->first);
        if (next >= toMs)
            break;
        std::vector<Entry> echoes = std::move(bySlot[next]);
        bySlot.erase(next);
        for (const Series& s : series)
            blockEchoes(s, std::max<std::int64_t>(fromMs, next), std::min<std::int64_t>(toMs, next + SlotMs),
                        [&echoes](const Series& from, const StoredEcho& e) {
                            echoes.push_back({&from, e});
                        });
        std::stable_sort(echoes.begin(), echoes.end(), [](const Entry& a, const Entry& b) {
            return a.second.sentMs != b.second.sentMs ? a.second.sentMs < b.second.sentMs : a.first->id < b.first->id;
        });
        for (const Entry& e : echoes)
            if (!(going = take(e.second.toSample(e.first->host, e.first->address))))
                break;
        slot = next + SlotMs;
    }
    end();
}
