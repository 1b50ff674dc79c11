#include "LedgerQuery.h"

#include "HostLedger.h"
#include "HostState.h"
#include "LedgerCsv.h"

#include <QFileInfo>
#include <QHash>

#include <deque>

namespace ledger {

namespace {

// A stamp renewed each minute, with room for intervals up to a minute.
constexpr qint64 kStaleAfterMs = HostLedger::StampEveryMs + 3 * 60'000 + 10'000;

} // namespace

QDateTime endOf(const LedgerRow& row) {
    if (row.end.isValid())
        return row.end;
    return row.start.addMSecs(row.durationMs);
}

bool overlaps(const LedgerRow& row, const QDateTime& from, const QDateTime& to) {
    if (!row.start.isValid())
        return false;
    const QDateTime end = endOf(row);
    if (end <= row.start)
        return (!from.isValid() || row.start >= from) && (!to.isValid() || row.start < to);
    return (!to.isValid() || row.start < to) && (!from.isValid() || end > from);
}

HostRows readHost(const QString& path, const Query& query) {
    HostRows result;
    std::deque<LedgerRow> kept;
    QHash<QString, qsizetype> seen; // host -> index in result.hosts
    result.stats = LedgerFile::forEachRecord(path, [&](QByteArrayView record, qint64) {
        const std::optional<ledgercsv::HostFields> fields = ledgercsv::hostOf(record);
        if (!fields)
            return false;
        if (const auto it = seen.constFind(fields->host); it != seen.cend()) {
            result.hosts[*it].address = fields->address;
        } else {
            seen.insert(fields->host, result.hosts.size());
            result.hosts.append({fields->host, fields->address});
        }
        if (!query.host.isEmpty() && fields->host != query.host)
            return true; // another host's: its fields are not looked at
        std::optional<LedgerRow> row = ledgercsv::parseRecord(record);
        if (!row)
            return false;
        if (!result.firstStart.isValid() || row->start < result.firstStart)
            result.firstStart = row->start;
        if (const QDateTime end = endOf(*row); !result.lastEnd.isValid() || end > result.lastEnd)
            result.lastEnd = end;
        if (overlaps(*row, query.from, query.to)) {
            kept.push_back(std::move(*row));
            if (query.maxRows >= 0 && static_cast<qsizetype>(kept.size()) > query.maxRows) {
                kept.pop_front();
                result.cut = true;
            }
        }
        return true;
    });
    result.rows = QList<LedgerRow>(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    return result;
}

Watch watchOf(const QString& ledgerPath, const QString& host, const QDateTime& now) {
    Watch watch;
    const HostState::Stamp stamp = HostState(ledgerPath, host).readStamp();
    if (!stamp.valid())
        return watch;
    watch.since = stamp.since;
    if (!watch.since.isValid())
        watch.since = QFileInfo(ledgerPath).birthTime(); // an earlier version's stamp
    const qint64 away = stamp.last.msecsTo(now);
    if (stamp.state == HostState::Watching::Watching && away <= kStaleAfterMs)
        return watch; // being watched now
    if (away <= 0)
        return watch;
    LedgerRow gap;
    gap.kind = LedgerRow::Kind::Gap;
    gap.start = stamp.last;
    gap.end = now;
    gap.durationMs = away;
    gap.host = host;
    gap.note = HostState::notWatchedNote(stamp.state);
    watch.notWatched = gap;
    return watch;
}

} // namespace ledger
