#include "ReportSource.h"

#include "Format.h"
#include "Period.h"

#include "history/HistoryReader.h"
#include "ledger/LedgerQuery.h"

#include <algorithm>

namespace report {

namespace {

QString minuteText(const QDateTime& at) {
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

Source gather(const QString& ledgerPath, const QString& host, const QDateTime& from, const QDateTime& to,
              const QDateTime& now, const QList<LedgerRow>& live) {
    Source source;
    source.host = host;
    source.to = std::min(to, now);
    // The totals of the last 30 days before the end need their rows too.
    qint64 longest = 0;
    for (const Span& span : recentSpans())
        longest = std::max(longest, span.lengthMs);
    const QDateTime readFrom = std::min(from, source.to.addMSecs(-longest));
    const ledger::HostRows read = ledger::readHost(ledgerPath, {host, readFrom, source.to});
    source.stats = read.stats;
    source.rows = read.rows;
    for (const ledger::KnownHost& known : read.hosts)
        if (known.host == host)
            source.address = known.address;
    for (const LedgerRow& row : live)
        if (row.host == host && ledger::overlaps(row, readFrom, source.to))
            source.rows.append(row);

    const ledger::Watch watch = ledger::watchOf(ledgerPath, host, now);
    if (watch.notWatched && ledger::overlaps(*watch.notWatched, readFrom, source.to)) {
        // Not watched up to the end of the period, as far as it tells.
        LedgerRow gap = *watch.notWatched;
        gap.end = std::min(gap.end, source.to);
        gap.durationMs = gap.start.msecsTo(gap.end);
        gap.address = source.address;
        source.rows.append(gap);
    }
    // Watched since the first start here, or since its first row where that
    // is earlier (a ledger of an earlier version).
    QDateTime since = watch.since;
    if (read.firstStart.isValid() && (!since.isValid() || read.firstStart < since))
        since = read.firstStart;

    source.from = from;
    if (since.isValid() && from < since && since < source.to) {
        source.from = since;
        source.remarks << QStringLiteral("The period begins at %1, where the ledger's record of this host begins "
                                         "(asked for: from %2).")
                              .arg(minuteText(since), minuteText(from));
    }
    if (!since.isValid()) {
        source.watchedSince = source.to;
        source.remarks << QStringLiteral("When this host was watched is not known: the ledger holds no record of it, "
                                         "so no availability is given.");
    } else {
        source.watchedSince = since;
    }
    if (const QString note = read.stats.note(ledgerPath); !note.isEmpty())
        source.remarks << note + u'.';

    // A history that is missing, or none of ours, reads as empty.
    if (source.from < source.to) {
        HistoryReader history(historyPathFor(ledgerPath));
        source.echoes = echoFigures(history, host, source.from.toMSecsSinceEpoch(), source.to.toMSecsSinceEpoch());
    }
    return source;
}

} // namespace report
