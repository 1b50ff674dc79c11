#pragma once

#include "LedgerRow.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

// Sums over the ledger's rows for a period [from, to), for the window and
// the report. Rows are clipped to the period. The period counts as watched
// time except for its gaps: the caller passes `watchedSince` (the ledger's
// first row, or the day the file was made) so that time before the host was
// watched at all is not counted as time without outage. Overlapping rows
// count their shared time once.
namespace ledger {

struct Totals {
    qint64 watchedMs = 0; // the period from `watchedSince`, less its gaps
    qint64 downMs = 0;    // time within outages, less any that fell into a gap
    // The share of the watched time without outage, 0..1; NaN when nothing
    // of the period was watched.
    double availability = 0;
    int outages = 0;      // outage rows reaching into the period
    qint64 longestMs = 0; // the longest single outage, clipped to the period
    // The down time by each outage's cause (an empty cause as ""); where
    // outages overlap, the time goes to the one that began first, so the
    // values add up to `downMs`.
    QMap<QString, qint64> downByCause;
    qint64 gapMs = 0;
};

// A row without a valid end lasts `durationMs` from its start; one without a
// valid start is left out.
Totals totals(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to,
              const QDateTime& watchedSince = QDateTime());

} // namespace ledger
