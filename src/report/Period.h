#pragma once

#include "ledger/LedgerRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

// Which rows belong to a period [from, to), and the spans before its end that
// the window and the report sum over.
namespace report {

// Where a row ends: its end, or its start plus its duration when the end is
// not known (an outage in progress, a row whose end was lost).
QDateTime endOf(const LedgerRow& row);

// Whether the row shares time with [from, to); a row of no length counts
// when it begins inside the period. Rows without a valid start never do.
bool overlaps(const LedgerRow& row, const QDateTime& from, const QDateTime& to);

// The rows overlapping the period, in the order given.
QList<LedgerRow> rowsIn(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to);

// The spans that end at a moment: the last 24 hours, 7 days and 30 days.
struct Span {
    QString label; // "Last 24 hours"
    QString key;   // "24h", for object names
    qint64 lengthMs;
};
const QList<Span>& recentSpans();

} // namespace report
