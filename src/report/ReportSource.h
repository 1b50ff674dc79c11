#pragma once

#include "EchoFigures.h"

#include "ledger/LedgerFile.h"
#include "ledger/LedgerRow.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What the report of one host needs, read from the ledger its folder's
// hosts share: the host's own rows only, and only those of the period and
// of the 30 days before its end, in one pass over the file; and what the
// history beside it holds of the host's echoes in the period.
namespace report {

struct Source {
    QString host;    // as typed
    QString address; // of its last row, if any
    // The host's rows, with the time it has not been watched up to now.
    QList<LedgerRow> rows;
    // The period: it begins no earlier than the ledger's record of the host
    // and ends no later than now.
    QDateTime from;
    QDateTime to;
    // When watching the host began; `to` when that is not known, so that
    // nothing counts as watched.
    QDateTime watchedSince;
    // Said on the first page: a period cut to the record, watched time not
    // known, rows of the ledger that were skipped.
    QStringList remarks;
    LedgerFile::ReadStats stats;
    // None sent when there is no history, or none of the host in the period.
    EchoFigures echoes;
    // The interval and time-out the host is probed with, where the caller
    // knows them (the window, the watcher's settings file); 0: not known.
    int intervalMs = 0;
    int timeoutMs = 0;
};

// `live` are rows the caller knows of but the file does not hold yet (the
// outage in progress, ended now).
Source gather(const QString& ledgerPath, const QString& host, const QDateTime& from, const QDateTime& to,
              const QDateTime& now, const QList<LedgerRow>& live = {});

} // namespace report
