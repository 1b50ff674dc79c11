#pragma once

#include "LedgerFile.h"
#include "LedgerRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// What the window and the report read of the ledger: one host's rows in a
// span of time, in one pass over the file and with bounded memory (only the
// rows asked for are kept), and how the host's watching stands now.
namespace ledger {

// Where a row ends: its end, or its start plus its duration when the end is
// not known (an outage in progress, a row whose end was lost).
QDateTime endOf(const LedgerRow& row);
// Whether the row shares time with [from, to) (either end may be invalid:
// no bound); a row of no length counts when it begins inside. Rows without
// a valid start never do.
bool overlaps(const LedgerRow& row, const QDateTime& from, const QDateTime& to);

// A host of the ledger, as typed, with the address of its last row.
struct KnownHost {
    QString host;
    QString address;
    friend bool operator==(const KnownHost&, const KnownHost&) = default;
};

struct Query {
    QString host;   // as typed; empty for the rows of every host
    QDateTime from; // the span the rows must reach into; invalid: unbounded
    QDateTime to;
    qsizetype maxRows = -1; // at most this many rows are kept, the last ones; -1: all
};

struct HostRows {
    QList<LedgerRow> rows;  // in file order
    bool cut = false;       // more rows matched than were kept
    QDateTime firstStart;   // the earliest start among the host's rows, any time
    QDateTime lastEnd;      // the latest end among them
    QList<KnownHost> hosts; // every host of the ledger, in the order first met
    LedgerFile::ReadStats stats;
};

HostRows readHost(const QString& path, const Query& query);

// How watching the host stands at `now`, as its stamp tells.
struct Watch {
    QDateTime since; // when it was first watched here; invalid when unknown
    // The time it has not been watched, up to now, as a gap row whose end
    // is `now`: since Stop, the program's end, a switch to another host, or
    // (a stamp gone stale) the moment the program ended without a word.
    std::optional<LedgerRow> notWatched;
};
Watch watchOf(const QString& ledgerPath, const QString& host, const QDateTime& now);

} // namespace ledger
