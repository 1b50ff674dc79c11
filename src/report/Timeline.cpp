#include "Timeline.h"

#include "CauseColours.h"
#include "Format.h"
#include "Period.h"

#include "clock/LocalTime.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

const QColor kUp(0xe3, 0xf2, 0xe4);         // watched, no outage
const QColor kNotWatched(0xd6, 0xd8, 0xdb); // before watching began
const QColor kHatch(0x45, 0x4d, 0x57);      // the gaps' lines
const QColor kFrame(0x9a, 0xa5, 0xb1);      // the band's outline
const QColor kHourLine(0xc4, 0xcc, 0xd4);   // every three hours
const QColor kText(0x33, 0x3a, 0x42);

constexpr double kDayMs = 24 * 3600 * 1000.0;

// Where the local clock stands at `at` within `day`, 0 at 00:00 and 1 at
// 24:00: a day whose clocks change keeps its hours where the axis puts them.
double clockShare(qint64 at, const QDate& day) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(at).toLocalTime();
    if (local.date() < day)
        return 0;
    if (local.date() > day)
        return 1;
    return local.time().msecsSinceStartOfDay() / kDayMs;
}

} // namespace

QBrush gapBrush(double spacing) {
    // Qt's hatch pattern repeats every 8 units with lines about 5.7 apart
    // across; it is scaled to the spacing asked for.
    QBrush brush(kHatch, Qt::BDiagPattern);
    const double scale = spacing / 5.66;
    brush.setTransform(QTransform::fromScale(scale, scale));
    return brush;
}

Timeline::Timeline(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to,
                   const QDateTime& watchedSince)
    : m_rows(rowsIn(rows, from, to)), m_from(from), m_to(to), m_watchedSince(watchedSince) {
    if (from.isValid() && to.isValid() && from < to) {
        const QDate last = to.addMSecs(-1).toLocalTime().date();
        for (QDate day = from.toLocalTime().date(); day <= last; day = day.addDays(1))
            m_days.append(day);
    }
    QSet<QString> seen;
    for (const LedgerRow& row : std::as_const(m_rows))
        if (row.kind == LedgerRow::Kind::Outage)
            seen.insert(row.cause);
    m_causes = sortedCauses(QList<QString>(seen.begin(), seen.end()));
}

QList<QRectF> Timeline::spans(qint64 start, qint64 end, const QDate& day, const QRectF& band) {
    // Within one UTC offset the clock runs on; where the clocks go back, the
    // hour that happens twice is drawn over itself.
    QList<qint64> cuts{start};
    for (const QDateTime& change :
         localclock::offsetChanges(QDateTime::fromMSecsSinceEpoch(start), QDateTime::fromMSecsSinceEpoch(end)))
        cuts.append(change.toMSecsSinceEpoch());
    cuts.append(end);
    QList<QRectF> rects;
    for (qsizetype i = 0; i + 1 < cuts.size(); ++i) {
        const double left = clockShare(cuts[i], day);
        // A piece ends with the last moment before the next one begins.
        const double right = cuts[i + 1] > cuts[i] ? std::max(clockShare(cuts[i + 1] - 1, day), left) : left;
        rects.append(QRectF(QPointF(band.left() + left * band.width(), band.top()),
                            QPointF(band.left() + right * band.width(), band.bottom())));
    }
    return rects;
}

void Timeline::drawDay(QPainter& painter, const QDate& day, const QRectF& band, double labelWidth,
                       const QFont& labelFont) const {
    painter.save();
    painter.setFont(labelFont);
    painter.setPen(kText);
    const QRectF label(band.left() - labelWidth, band.top(), labelWidth * 0.95, band.height());
    painter.drawText(label, Qt::AlignVCenter | Qt::AlignLeft,
                     QLocale::c().toString(day, QStringLiteral("ddd ")) + dateText(day));

    // Days are 23 or 25 hours long where the clocks change, and some begin
    // after 00:00: the band runs from the day's first moment to the next
    // day's, each moment where its local time stands on the axis.
    const qint64 dayStart = localclock::startOfDay(day).toMSecsSinceEpoch();
    const qint64 dayEnd = localclock::startOfDay(day.addDays(1)).toMSecsSinceEpoch();
    const auto fill = [&](qint64 start, qint64 end, const QBrush& brush) {
        for (const QRectF& rect : spans(start, end, day, band))
            painter.fillRect(rect, brush);
    };

    const qint64 from = std::max(dayStart, m_from.toMSecsSinceEpoch());
    const qint64 to = std::min(dayEnd, m_to.toMSecsSinceEpoch());
    if (from < to) {
        fill(from, to, kUp);
        if (m_watchedSince.isValid() && m_watchedSince.toMSecsSinceEpoch() > from)
            fill(from, std::min(to, m_watchedSince.toMSecsSinceEpoch()), kNotWatched);
    }
    painter.setPen(QPen(kHourLine, 0));
    for (int hour = 3; hour < 24; hour += 3) {
        const double at = band.left() + band.width() * hour / 24.0;
        painter.drawLine(QPointF(at, band.top()), QPointF(at, band.bottom()));
    }

    // Gaps first, outages over them.
    for (int pass = 0; pass < 2; ++pass) {
        const LedgerRow::Kind kind = pass == 0 ? LedgerRow::Kind::Gap : LedgerRow::Kind::Outage;
        for (const LedgerRow& row : m_rows) {
            if (row.kind != kind)
                continue;
            const qint64 start = std::max({row.start.toMSecsSinceEpoch(), dayStart, from});
            const qint64 end = std::min({endOf(row).toMSecsSinceEpoch(), dayEnd, to});
            if (end < start || (end == start && row.start.toMSecsSinceEpoch() != start))
                continue;
            for (QRectF bar : spans(start, end, day, band)) {
                if (bar.width() < m_minimumBar)
                    bar.setWidth(m_minimumBar);
                bar.setRight(std::min(bar.right(), band.right()));
                if (kind == LedgerRow::Kind::Gap) {
                    painter.fillRect(bar, Qt::white);
                    painter.fillRect(bar, gapBrush(band.height() / 3.5));
                } else {
                    painter.fillRect(bar, causeColour(row.cause));
                }
            }
        }
    }
    painter.setPen(QPen(kFrame, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(band);
    painter.restore();
}

void Timeline::drawAxis(QPainter& painter, const QRectF& band, double baseline, const QFont& font) {
    painter.save();
    painter.setFont(font);
    painter.setPen(kText);
    const QFontMetricsF metrics(font, painter.device());
    for (int hour = 0; hour <= 24; hour += 3) {
        const QString text = QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0'));
        const double at = band.left() + band.width() * hour / 24.0;
        const double width = metrics.horizontalAdvance(text);
        // The first and last labels stay within the band's ends.
        const double left = std::clamp(at - width / 2, band.left(), band.right() - width);
        painter.drawText(QPointF(left, baseline), text);
    }
    painter.restore();
}

double Timeline::legend(QPainter* painter, const QPaintDevice* device, const QRectF& area, double columnWidth,
                        const QFont& font) const {
    struct Entry {
        QString text;
        QBrush brush;
    };
    const QFontMetricsF metrics(font, device);
    const double line = metrics.height() * 1.45;
    const double swatch = metrics.height() * 0.8;
    QList<Entry> entries;
    for (const QString& name : m_causes)
        entries.append({causeText(name), QBrush(causeColour(name))});
    entries.append({QStringLiteral("Up, no outage"), QBrush(kUp)});
    entries.append({QStringLiteral("Gap: not watching (asleep, held up, stopped)"), gapBrush(swatch / 3.5)});
    if (m_watchedSince.isValid() && m_watchedSince > m_from)
        entries.append({QStringLiteral("Before watching began"), QBrush(kNotWatched)});

    const int columns = std::max(1, static_cast<int>(area.width() / columnWidth));
    const int lines = static_cast<int>((entries.size() + columns - 1) / columns);
    if (painter) {
        painter->save();
        painter->setFont(font);
        for (int i = 0; i < entries.size(); ++i) {
            // Down the columns first, so the causes read in order.
            const double left = area.left() + (i / lines) * columnWidth;
            const double top = area.top() + (i % lines) * line;
            const QRectF box(left, top + (line - swatch) / 2, swatch * 1.6, swatch);
            painter->fillRect(box, Qt::white);
            painter->fillRect(box, entries[i].brush);
            painter->setPen(QPen(kFrame, 0));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(box);
            painter->setPen(kText);
            painter->drawText(QRectF(box.right() + swatch * 0.6, top, columnWidth - box.width() - swatch, line),
                              Qt::AlignVCenter | Qt::AlignLeft, entries[i].text);
        }
        painter->restore();
    }
    return lines * line;
}

} // namespace report
