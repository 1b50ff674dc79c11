#include "history/HistoryPlot.h"

#include "Fonts.h"
#include "ledger/LedgerQuery.h"
#include "report/CauseColours.h"
#include "report/Timeline.h"
#include "report/plot/PlotColours.h"
#include "report/plot/TimeAxis.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

const QColor HistoryPlot::Background(0xfb, 0xfb, 0xfb);
const QColor HistoryPlot::Before(0xee, 0xee, 0xee);
const QColor HistoryPlot::RouteMark(0x7b, 0x3f, 0xa0);

namespace {

// The margins around the plot, in logical pixels.
constexpr int kLeft = 52;
constexpr int kRight = 14;
constexpr int kTop = 6;
constexpr int kLane = 6;
constexpr int kLaneGap = 3;
constexpr int kBottom = 32;
constexpr int kTickGap = 32; // the least room between two round-trip ticks

const QColor kLaneBack(0xee, 0xf0, 0xf2);
const QColor kPlotHatch(0xb4, 0xb9, 0xbf);

QColor tint(const QColor& colour, double share) {
    const auto mix = [share](int c) { return int(std::lround(255 - (255 - c) * share)); };
    return QColor(mix(colour.red()), mix(colour.green()), mix(colour.blue()));
}

} // namespace

void HistoryPlot::setSize(const QSize& size, qreal ratio) {
    m_size = size;
    m_ratio = ratio > 0 ? ratio : 1;
}

QRect HistoryPlot::devicePlot() const {
    const auto d = [this](double v) { return int(std::lround(v * m_ratio)); };
    const int left = d(kLeft);
    const int top = d(kTop + kLane + kLaneGap);
    const int right = std::max(left + 1, d(m_size.width() - kRight));
    const int bottom = std::max(top + 1, d(m_size.height() - kBottom));
    return QRect(left, top, right - left, bottom - top);
}

QRectF HistoryPlot::plotArea() const {
    const QRect p = devicePlot();
    return QRectF(p.x() / m_ratio, p.y() / m_ratio, p.width() / m_ratio, p.height() / m_ratio);
}

int HistoryPlot::columns() const {
    return devicePlot().width();
}

double HistoryPlot::msPerColumn(qint64 fromMs, qint64 toMs) const {
    return double(toMs - fromMs) / double(columns());
}

int HistoryPlot::columnAt(double x) const {
    const int column = int(std::floor(x * m_ratio)) - devicePlot().left();
    return column >= 0 && column < columns() ? column : -1;
}

QList<HistoryPlot::Span> HistoryPlot::spansOf(const QList<LedgerRow>& rows, const QString& host) {
    QList<Span> spans;
    for (const LedgerRow& row : rows) {
        if (row.host != host || !row.start.isValid())
            continue;
        const QDateTime end = ledger::endOf(row);
        const qint64 from = row.start.toMSecsSinceEpoch();
        spans.append({from, end.isValid() ? std::max(from, end.toMSecsSinceEpoch()) : from, row.kind, row.cause});
    }
    return spans;
}

QImage HistoryPlot::render(const Scene& scene) {
    const QSize deviceSize(std::max(1, int(std::lround(m_size.width() * m_ratio))),
                           std::max(1, int(std::lround(m_size.height() * m_ratio))));
    QImage image(deviceSize, QImage::Format_RGB32);
    image.fill(Background);
    const QRect plot = devicePlot();
    const int n = plot.width();
    const double perColumn = double(scene.toMs - scene.fromMs) / n;
    static const BucketRun none;
    m_columns = PlotColumns(scene.run ? *scene.run : none, double(scene.fromMs), perColumn, n);

    // The axis fits the upper ends of the spread shown.
    m_scale = RoundTripScale::fit(m_columns, std::max(1, int(plot.height() / m_ratio) / kTickGap));

    QPainter p(&image);
    QFont font = fonts::windowFont();
    font.setPixelSize(std::max(1, int(std::lround(11 * m_ratio))));
    p.setFont(font);
    const QFontMetrics metrics(font);
    const auto columnOf = [&](qint64 ms) {
        return std::clamp(std::floor(double(ms - scene.fromMs) / perColumn), -1.0, double(n) + 1);
    };
    const auto yOf = [&](std::int64_t us) {
        return plot.bottom() + 1 - int(std::lround(m_scale.share(us) * plot.height()));
    };

    // Behind the graph: the time not watched yet or any more, the outages
    // and gaps, and the same in the lane above.
    p.fillRect(plot, Qt::white);
    const QRect lane(plot.left(), int(std::lround(kTop * m_ratio)), n, int(std::lround(kLane * m_ratio)));
    p.fillRect(lane, kLaneBack);
    const auto stretch = [&](qint64 from, qint64 to) {
        const int a = int(columnOf(from));
        const int b = std::max(a + 1, int(std::ceil(double(to - scene.fromMs) / perColumn)));
        return std::pair{std::max(a, 0), std::min(b, n)};
    };
    if (scene.firstMs > scene.fromMs) {
        const auto [a, b] = stretch(scene.fromMs, scene.firstMs);
        p.fillRect(QRect(plot.left() + a, plot.top(), b - a, plot.height()), Before);
    }
    if (scene.nowMs < scene.toMs) {
        const auto [a, b] = stretch(scene.nowMs, scene.toMs);
        p.fillRect(QRect(plot.left() + a, plot.top(), b - a, plot.height()), Before);
    }
    QBrush laneHatch = report::gapBrush(3 * m_ratio);
    QBrush plotHatch = report::gapBrush(6 * m_ratio);
    plotHatch.setColor(kPlotHatch);
    for (const Span& span : scene.spans) {
        if (span.toMs < scene.fromMs || span.fromMs >= scene.toMs)
            continue;
        const auto [a, b] = stretch(span.fromMs, span.toMs);
        if (a >= b)
            continue;
        const QRect area(plot.left() + a, plot.top(), b - a, plot.height());
        const QRect mark(plot.left() + a, lane.top(), b - a, lane.height());
        if (span.kind == LedgerRow::Kind::Gap) {
            p.fillRect(area, plotHatch);
            p.fillRect(mark, laneHatch);
        } else {
            const QColor colour = report::causeColour(span.cause);
            p.fillRect(area, tint(colour, 0.22));
            p.fillRect(mark, colour);
        }
    }

    // The grid: round-trip ticks across, time ticks down.
    const QList<double> rtTicks = m_scale.ticks();
    for (const double ms : rtTicks)
        p.fillRect(QRect(plot.left(), yOf(std::llround(ms * 1000)) - 1, n, 1), plotcolour::Grid);
    const double perLogical = perColumn * m_ratio;
    qint64 minGap = qint64((metrics.horizontalAdvance(QStringLiteral("00:00")) / m_ratio + 28) * perLogical);
    if (TimeAxis::stepMs(minGap) < 60'000)
        minGap = qint64((metrics.horizontalAdvance(QStringLiteral("00:00:00")) / m_ratio + 24) * perLogical);
    const QList<TimeAxis::Tick> timeTicks = TimeAxis::ticks(scene.fromMs, scene.toMs, minGap);
    for (const TimeAxis::Tick& tick : timeTicks)
        p.fillRect(QRect(plot.left() + int(columnOf(tick.ms)), plot.top(), 1, plot.height()),
                   tick.major ? plotcolour::DayLine : plotcolour::Grid);

    // The smoke, column by column.
    for (int x = 0; x < n; ++x) {
        const HistoryBucket& b = m_columns.at(x);
        if (b.echoes == 0 || b.medianUs < 0)
            continue;
        const auto band = [&](std::int64_t low, std::int64_t high, const QColor& colour) {
            if (low < 0 || high < 0)
                return;
            const int top = yOf(high);
            const int bottom = std::max(top + 1, yOf(low));
            p.fillRect(QRect(plot.left() + x, top, 1, bottom - top), colour);
        };
        band(b.minUs, b.maxUs, Extremes);
        band(b.p10Us, b.p90Us, Spread);
        band(b.p25Us, b.p75Us, Middle);
    }

    // The median line through the columns' own buckets; it breaks where
    // nothing was sent or nothing came back. Between neighbouring columns
    // it is drawn column by column, each from half-way to its neighbours'
    // medians (sharp, and quick at any length); across columns without
    // echoes of their own (zoomed in past them) as lines.
    const int thickness = std::max(2, int(std::lround(1.5 * m_ratio)));
    struct Point {
        int x;
        int y;
    };
    std::vector<Point> points;
    const auto flush = [&] {
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& pt = points[i];
            const bool prevNear = i > 0 && pt.x - points[i - 1].x == 1;
            const bool nextNear = i + 1 < points.size() && points[i + 1].x - pt.x == 1;
            int top = pt.y;
            int bottom = pt.y;
            if (prevNear) {
                top = std::min(top, (pt.y + points[i - 1].y) / 2);
                bottom = std::max(bottom, (pt.y + points[i - 1].y + 1) / 2);
            }
            if (nextNear) {
                top = std::min(top, (pt.y + points[i + 1].y) / 2);
                bottom = std::max(bottom, (pt.y + points[i + 1].y + 1) / 2);
            }
            top = std::max(plot.top(), top - thickness / 2);
            bottom = std::min(plot.bottom(), bottom + (thickness - 1) / 2);
            p.fillRect(QRect(plot.left() + pt.x, top, 1, bottom - top + 1), Median);
            if (i + 1 < points.size() && !nextNear) {
                p.save();
                p.setClipRect(plot);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(QPen(Median, thickness, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(plot.left() + pt.x + 0.5, pt.y + 0.5),
                           QPointF(plot.left() + points[i + 1].x + 0.5, points[i + 1].y + 0.5));
                p.restore();
            }
        }
        points.clear();
    };
    for (int x = 0; x < n; ++x) {
        if (m_columns.source(x) != x || m_columns.at(x).echoes == 0)
            continue;
        const std::int64_t median = m_columns.at(x).medianUs;
        if (median < 0) {
            flush();
            continue;
        }
        points.push_back({x, yOf(median) - 1});
        if (!m_columns.joinsNext(x))
            flush();
    }
    flush();

    // The marked moments (a hop's route changes): a dashed line down the
    // plot from a notch in the lane.
    QPen markPen(RouteMark, std::max(1.0, m_ratio), Qt::DashLine, Qt::FlatCap);
    for (const qint64 at : scene.marks) {
        if (at < scene.fromMs || at >= scene.toMs)
            continue;
        const int x = plot.left() + int(columnOf(at));
        p.fillRect(QRect(x - int(m_ratio), lane.top(), 2 * int(std::max(1.0, m_ratio)) + 1, lane.height()), RouteMark);
        p.setPen(markPen);
        p.drawLine(QPointF(x + 0.5, plot.top()), QPointF(x + 0.5, plot.bottom()));
    }

    // The share lost, over everything else; one lost echo shows, as one
    // screen pixel.
    for (int x = 0; x < n; ++x) {
        const HistoryBucket& b = m_columns.at(x);
        if (b.echoes == 0 || b.lost == 0)
            continue;
        const int height = std::max(1, int(std::lround(double(b.lost) / b.echoes * plot.height())));
        p.fillRect(QRect(plot.left() + x, plot.bottom() + 1 - std::min(height, plot.height()), 1,
                         std::min(height, plot.height())),
                   Loss);
    }

    p.setPen(QPen(plotcolour::Frame, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.adjusted(-1, -1, 0, 0));

    // The labels: round trips on the left, times and dates below.
    p.setPen(plotcolour::Text);
    const int gap = int(std::lround(5 * m_ratio));
    for (const double ms : rtTicks) {
        const int y = yOf(std::llround(ms * 1000));
        p.drawText(QRect(0, y - metrics.height() / 2, plot.left() - gap, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, m_scale.label(ms));
    }
    const int firstRow = plot.bottom() + 1 + int(std::lround(3 * m_ratio));
    const int secondRow = firstRow + metrics.height();
    int labelEnd = -1;
    int sublabelEnd = -1;
    int firstSublabel = image.width();
    for (const TimeAxis::Tick& tick : timeTicks)
        if (!tick.sublabel.isEmpty()) {
            firstSublabel = plot.left() + int(columnOf(tick.ms)) - metrics.horizontalAdvance(tick.sublabel) / 2;
            break;
        }
    // The date the view begins with, unless a tick's date is there.
    const QString date = TimeAxis::dateText(scene.fromMs);
    if (plot.left() + metrics.horizontalAdvance(date) + gap < firstSublabel) {
        p.drawText(QPoint(plot.left(), secondRow + metrics.ascent()), date);
        sublabelEnd = plot.left() + metrics.horizontalAdvance(date);
    }
    for (const TimeAxis::Tick& tick : timeTicks) {
        const int x = plot.left() + int(columnOf(tick.ms));
        const auto place = [&](const QString& text, int row, int& end) {
            const int width = metrics.horizontalAdvance(text);
            const int left = std::clamp(x - width / 2, 0, image.width() - width);
            if (text.isEmpty() || left <= end + gap)
                return;
            p.drawText(QPoint(left, row + metrics.ascent()), text);
            end = left + width;
        };
        place(tick.label, firstRow, labelEnd);
        place(tick.sublabel, secondRow, sublabelEnd);
    }
    p.end();
    image.setDevicePixelRatio(m_ratio);
    return image;
}
