#include "Period.h"

#include <QFileInfo>

namespace report {

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
        return row.start >= from && row.start < to;
    return row.start < to && end > from;
}

QList<LedgerRow> rowsIn(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to) {
    QList<LedgerRow> result;
    for (const LedgerRow& row : rows)
        if (overlaps(row, from, to))
            result.append(row);
    return result;
}

QDateTime watchedSince(const QString& path, const QList<LedgerRow>& rows) {
    QDateTime since = QFileInfo(path).birthTime();
    for (const LedgerRow& row : rows)
        if (row.start.isValid() && (!since.isValid() || row.start < since))
            since = row.start;
    return since;
}

const QList<Span>& recentSpans() {
    constexpr qint64 day = 24 * 3600 * 1000LL;
    static const QList<Span> spans{
        {QStringLiteral("Last 24 hours"), QStringLiteral("24h"), day},
        {QStringLiteral("Last 7 days"), QStringLiteral("7d"), 7 * day},
        {QStringLiteral("Last 30 days"), QStringLiteral("30d"), 30 * day},
    };
    return spans;
}

} // namespace report
