#pragma once

#include "ReportSource.h"
#include "ledger/LedgerRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The outage report of one host for a period [from, to): a PDF to read and
// print, and the period's rows as CSV.
namespace report {

// Page 1 holds the title, the totals for the period and for the last 24
// hours, 7 days and 30 days before `to`, and the timeline, one band per day.
// The source's echoes, where the history holds any, follow on a page of
// their own; else one line says there are none. The table of the period's
// rows follows, as many pages as it needs. Rows without an end last their
// duration (give an outage in progress its end so far). `watchedSince` is when watching the host began: time before it
// counts as neither up nor down. The file is replaced only once complete;
// false with *error set when it cannot be written.
bool writePdf(const QString& path, const QString& host, const QList<LedgerRow>& rows, const QDateTime& from,
              const QDateTime& to, const QDateTime& watchedSince, QString* error);
// The same from what was gathered of the ledger, its address beside the
// host in the title and its remarks on the first page.
bool writePdf(const QString& path, const Source& source, QString* error);

// The rows that overlap the period, in the order given, as the ledger writes
// them: its header, CR LF line ends.
bool writeCsv(const QString& path, const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to,
              QString* error);

} // namespace report
