#include "EchoGraph.h"

#include "history/BucketRun.h"
#include "report/plot/PlotColours.h"
#include "report/plot/RoundTripScale.h"
#include "report/plot/TimeAxis.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

const QColor kLaneBack(0xf3, 0xf4, 0xf6);

BucketRun runOf(const EchoFigures& figures) {
    BucketRun run;
    run.widthMs = figures.columnMs;
    run.fromMs = figures.graphFromMs;
    run.buckets = figures.columns;
    return run;
}

} // namespace

EchoGraph::EchoGraph(const EchoFigures& figures, qint64 fromMs, qint64 toMs)
    : m_fromMs(fromMs), m_toMs(toMs), m_graphFromMs(figures.graphFromMs), m_columnMs(figures.columnMs),
      m_columns(runOf(figures), double(figures.graphFromMs), double(figures.columnMs), int(figures.columns.size())) {}

void EchoGraph::draw(QPainter& p, const QRectF& area, const QFont& font, double mm) const {
    const int n = m_columns.count();
    if (n == 0 || m_toMs <= m_fromMs)
        return;
    const QFontMetricsF metrics(font, p.device());
    const double line = metrics.height();
    const double laneHeight = 9 * mm;
    const double laneGap = 1.5 * mm;
    const double timeRows = 2 * line + 1.5 * mm;
    const double plotHeight = area.height() - laneGap - laneHeight - timeRows;

    // The axis fits the upper ends of the spread shown, as in the window.
    const RoundTripScale scale = RoundTripScale::fit(m_columns, std::max(1, int(plotHeight / (8 * mm))));
    double labelWidth = metrics.horizontalAdvance(QStringLiteral("100 %"));
    for (const double ms : scale.ticks())
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(scale.label(ms)));
    labelWidth += 2 * mm;

    const QRectF plot(area.left() + labelWidth, area.top(), area.width() - labelWidth - 2 * mm, plotHeight);
    const QRectF lane(plot.left(), plot.bottom() + laneGap, plot.width(), laneHeight);
    // The columns cover the period and perhaps a little more: x by time.
    const double spanMs = double(m_toMs - m_fromMs);
    const auto xOf = [&](double ms) { return plot.left() + (ms - double(m_fromMs)) / spanMs * plot.width(); };
    const auto yOf = [&](std::int64_t us) { return plot.bottom() - scale.share(us) * plot.height(); };
    // Column x's own span, whichever bucket it shows.
    const auto columnLeft = [&](int x) { return xOf(double(m_graphFromMs) + double(x) * double(m_columnMs)); };
    const auto columnRect = [&](int x, double top, double bottom) {
        // Each a little wider than its share, so that none leaves a seam.
        const double left = std::max(plot.left(), columnLeft(x));
        const double right = std::min(plot.right(), columnLeft(x + 1) + 0.2 * mm);
        return QRectF(left, top, std::max(0.0, right - left), bottom - top);
    };
    const auto middleOf = [&](int x) { return (columnLeft(x) + columnLeft(x + 1)) / 2; };

    p.fillRect(plot, Qt::white);
    p.fillRect(lane, kLaneBack);

    // The grid: round-trip ticks across, time ticks down through both.
    const QList<double> rtTicks = scale.ticks();
    p.setPen(QPen(plotcolour::Grid, 0.15 * mm));
    for (const double ms : rtTicks) {
        const double y = yOf(std::llround(ms * 1000));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    const double msPerUnit = spanMs / plot.width();
    const qint64 minGap = qint64((metrics.horizontalAdvance(QStringLiteral("00:00")) + 6 * mm) * msPerUnit);
    const QList<TimeAxis::Tick> timeTicks = TimeAxis::ticks(m_fromMs, m_toMs, minGap);
    for (const TimeAxis::Tick& tick : timeTicks) {
        p.setPen(QPen(tick.major ? plotcolour::DayLine : plotcolour::Grid, 0.15 * mm));
        const double x = xOf(double(tick.ms));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.drawLine(QPointF(x, lane.top()), QPointF(x, lane.bottom()));
    }

    // The spread, column by column.
    for (int x = 0; x < n; ++x) {
        const HistoryBucket& b = m_columns.at(x);
        if (b.echoes == 0 || b.medianUs < 0)
            continue;
        const auto band = [&](std::int64_t low, std::int64_t high, const QColor& colour) {
            if (low >= 0 && high >= 0)
                p.fillRect(columnRect(x, yOf(high), std::max(yOf(high) + 0.1 * mm, yOf(low))), colour);
        };
        band(b.minUs, b.maxUs, plotcolour::Extremes);
        band(b.p10Us, b.p90Us, plotcolour::Spread);
        band(b.p25Us, b.p75Us, plotcolour::Middle);
    }

    // The median through the columns' own buckets, broken where nothing was
    // sent or nothing came back.
    p.save();
    p.setClipRect(plot);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(plotcolour::Median, 0.35 * mm, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath median;
    bool open = false;
    for (int x = 0; x < n; ++x) {
        if (m_columns.source(x) != x || m_columns.at(x).echoes == 0)
            continue;
        const std::int64_t us = m_columns.at(x).medianUs;
        if (us < 0) {
            open = false;
            continue;
        }
        const QPointF point(middleOf(x), yOf(us));
        if (open) {
            median.lineTo(point);
        } else {
            median.moveTo(point);
            // A lone column shows as a dash of its width.
            median.lineTo(point + QPointF(std::max(0.2 * mm, columnLeft(x + 1) - middleOf(x)), 0));
            median.moveTo(point);
        }
        open = m_columns.joinsNext(x);
    }
    p.drawPath(median);
    p.restore();

    // The share lost, from the bottom of its lane; any loss at all shows.
    for (int x = 0; x < n; ++x) {
        const HistoryBucket& b = m_columns.at(x);
        if (b.echoes == 0 || b.lost == 0)
            continue;
        const double height = std::max(0.25 * mm, double(b.lost) / double(b.echoes) * lane.height());
        p.fillRect(columnRect(x, lane.bottom() - height, lane.bottom()), plotcolour::Loss);
    }

    p.setPen(QPen(plotcolour::Frame, 0.2 * mm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    p.drawRect(lane);

    // The labels: round trips and the share lost on the left, times below.
    p.setFont(font);
    p.setPen(plotcolour::Text);
    const double gap = 1.5 * mm;
    for (const double ms : rtTicks)
        p.drawText(QRectF(area.left(), yOf(std::llround(ms * 1000)) - line / 2, labelWidth - gap, line),
                   Qt::AlignRight | Qt::AlignVCenter, scale.label(ms));
    p.drawText(QRectF(area.left(), lane.top(), labelWidth - gap, line), Qt::AlignRight | Qt::AlignTop,
               QStringLiteral("100 %"));
    p.drawText(QRectF(area.left(), lane.bottom() - line, labelWidth - gap, line), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("0 %"));

    const double firstRow = lane.bottom() + 1 * mm + metrics.ascent();
    const double secondRow = firstRow + line;
    double labelEnd = -1e9;
    double sublabelEnd = -1e9;
    double firstSublabel = area.right();
    for (const TimeAxis::Tick& tick : timeTicks)
        if (!tick.sublabel.isEmpty()) {
            firstSublabel = xOf(double(tick.ms)) - metrics.horizontalAdvance(tick.sublabel) / 2;
            break;
        }
    // The date the graph begins with, unless a tick's date is there.
    const QString date = TimeAxis::dateText(m_fromMs);
    if (plot.left() + metrics.horizontalAdvance(date) + gap < firstSublabel) {
        p.drawText(QPointF(plot.left(), secondRow), date);
        sublabelEnd = plot.left() + metrics.horizontalAdvance(date);
    }
    for (const TimeAxis::Tick& tick : timeTicks) {
        const double x = xOf(double(tick.ms));
        const auto place = [&](const QString& text, double baseline, double& end) {
            const double width = metrics.horizontalAdvance(text);
            const double left = std::clamp(x - width / 2, area.left(), area.right() - width);
            if (text.isEmpty() || left <= end + gap)
                return;
            p.drawText(QPointF(left, baseline), text);
            end = left + width;
        };
        place(tick.label, firstRow, labelEnd);
        place(tick.sublabel, secondRow, sublabelEnd);
    }
}

} // namespace report
