#include "history/HistoryReadout.h"

#include "report/Format.h"

#include <QDateTime>
#include <QLocale>

namespace historyreadout {

namespace {

QString count(qint64 n) {
    return QLocale::c().toString(n);
}

// The end of a span on the day it began shows its time only.
QString spanText(qint64 fromMs, qint64 toMs) {
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(fromMs, Qt::LocalTime);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(toMs, Qt::LocalTime);
    QString end = report::stampText(to);
    if (to.date() == from.date())
        end = end.mid(11);
    return report::stampText(from) + QStringLiteral(" – ") + end;
}

} // namespace

QString roundTrip(std::int64_t us) {
    const double ms = double(us) / 1000.0;
    const int decimals = ms < 1 ? 2 : ms < 100 ? 1 : 0;
    return QString::number(ms, 'f', decimals) + QStringLiteral(" ms");
}

QString column(const HistoryBucket& bucket, const HistoryPlot::Span* span) {
    QString text = spanText(bucket.fromMs, bucket.toMs) + QStringLiteral(": ");
    if (bucket.echoes == 0)
        text += QStringLiteral("no echoes");
    else
        text += QStringLiteral("%1 %2, %3 lost")
                    .arg(count(bucket.echoes), bucket.echoes == 1 ? QStringLiteral("echo") : QStringLiteral("echoes"),
                         count(bucket.lost));
    if (bucket.medianUs >= 0)
        text += QStringLiteral(" · min %1, median %2, max %3")
                    .arg(roundTrip(bucket.minUs), roundTrip(bucket.medianUs), roundTrip(bucket.maxUs));
    if (span)
        text += span->kind == LedgerRow::Kind::Gap ? QStringLiteral(" · Gap: not watched")
                                                   : QStringLiteral(" · Outage: ") + report::causeText(span->cause);
    return text;
}

QString totals(qint64 echoes, qint64 lost) {
    if (echoes == 0)
        return QStringLiteral("No echoes in view");
    return QStringLiteral("%1 echoes in view, %2 lost (%3 %)")
        .arg(count(echoes), count(lost), QString::number(100.0 * double(lost) / double(echoes), 'f', 2));
}

} // namespace historyreadout
