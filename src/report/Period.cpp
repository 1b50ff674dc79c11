#include "Period.h"

#include "ledger/LedgerQuery.h"

namespace report {

QDateTime endOf(const LedgerRow& row) {
    return ledger::endOf(row);
}

bool overlaps(const LedgerRow& row, const QDateTime& from, const QDateTime& to) {
    return ledger::overlaps(row, from, to);
}

QList<LedgerRow> rowsIn(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to) {
    QList<LedgerRow> result;
    for (const LedgerRow& row : rows)
        if (overlaps(row, from, to))
            result.append(row);
    return result;
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
