#pragma once

#include "ledger/LedgerRow.h"

#include <QBrush>
#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

class QPaintDevice;
class QPainter;

// The timeline picture of a period: one horizontal band per day, 00:00 at
// its left end and 24:00 at its right, outages as bars in their cause's
// colour, gaps hatched, time before watching began in grey. The caller
// places the bands; this draws them in whatever units the painter uses.
namespace report {

class Timeline {
public:
    Timeline(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to, const QDateTime& watchedSince);

    // The days the period touches, oldest first.
    const QList<QDate>& days() const { return m_days; }
    // The causes of the outages in the period, in legend order.
    const QList<QString>& causes() const { return m_causes; }

    // Bars narrower than this are widened to it, so a short outage shows.
    void setMinimumBarWidth(double width) { m_minimumBar = width; }

    // One day: its date in `labelFont` left of `band`, the band itself.
    void drawDay(QPainter& painter, const QDate& day, const QRectF& band, double labelWidth,
                 const QFont& labelFont) const;
    // The hours 00, 03, ... 24 above a band spanning `band`'s width, their
    // baseline at `baseline`.
    static void drawAxis(QPainter& painter, const QRectF& band, double baseline, const QFont& font);

    // The legend in columns of `columnWidth`: a swatch and a name for each
    // cause seen, then the time up, gaps and the time not watched. Returns
    // its height on `device`; draws it only with a painter.
    double legend(QPainter* painter, const QPaintDevice* device, const QRectF& area, double columnWidth,
                  const QFont& font) const;

    // Where [start, end) (ms since the epoch, within `day`) lies in `band`,
    // each moment at its local clock time: a rectangle for each stretch of
    // one UTC offset.
    static QList<QRectF> spans(qint64 start, qint64 end, const QDate& day, const QRectF& band);

private:
    QList<LedgerRow> m_rows;
    QDateTime m_from;
    QDateTime m_to;
    QDateTime m_watchedSince;
    QList<QDate> m_days;
    QList<QString> m_causes;
    double m_minimumBar = 1;
};

// The brush that hatches gaps, the same in the picture and in its legend;
// its lines `spacing` apart in the painter's units.
QBrush gapBrush(double spacing);

} // namespace report
