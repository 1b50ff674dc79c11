#pragma once

#include "history/BucketRun.h"
#include "ledger/LedgerRow.h"
#include "report/plot/PlotColours.h"
#include "report/plot/PlotColumns.h"
#include "report/plot/RoundTripScale.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>

// The history's picture, drawn in the screen's own pixels: per pixel column
// the median round trip as a line over its spread as smoke (the middle
// half dark, 10 % to 90 % lighter, minimum to maximum faint) and the share
// lost as a red mark from the bottom; behind them the outages in their
// cause's colour and the gaps hatched, repeated in a lane above the plot;
// the round-trip axis on the left and the local time below.
class HistoryPlot {
public:
    // An outage or gap of the ledger, in milliseconds.
    struct Span {
        qint64 fromMs = 0;
        qint64 toMs = 0;
        LedgerRow::Kind kind = LedgerRow::Kind::Outage;
        QString cause;
    };
    struct Scene {
        const BucketRun* run = nullptr;
        QList<Span> spans;
        qint64 fromMs = 0; // the view
        qint64 toMs = 0;
        qint64 firstMs = 0;  // the first echo: before it nothing was watched
        qint64 nowMs = 0;    // after it nothing is known yet
        QList<qint64> marks; // moments marked across the plot
    };

    static const QColor Background, Before, RouteMark;
    // The plot's palette, shared with the report's graph.
    static constexpr const QColor& Loss = plotcolour::Loss;
    static constexpr const QColor& Median = plotcolour::Median;
    static constexpr const QColor& Middle = plotcolour::Middle;
    static constexpr const QColor& Spread = plotcolour::Spread;
    static constexpr const QColor& Extremes = plotcolour::Extremes;

    // The picture's size in logical pixels and the screen's pixel ratio.
    void setSize(const QSize& size, qreal ratio);
    QSize size() const { return m_size; }
    qreal ratio() const { return m_ratio; }
    // Where the plot lies, in logical pixels; and its width in device
    // pixels, one column each.
    QRectF plotArea() const;
    int columns() const;
    // The milliseconds one column spans for the view [fromMs, toMs).
    double msPerColumn(qint64 fromMs, qint64 toMs) const;

    // Draws the scene; the image has the screen's pixel ratio set.
    QImage render(const Scene& scene);

    // Of the last picture: what its columns show and its round-trip axis.
    const PlotColumns& shownColumns() const { return m_columns; }
    const RoundTripScale& scale() const { return m_scale; }
    // The column under logical x, -1 off the plot.
    int columnAt(double x) const;

    static QList<Span> spansOf(const QList<LedgerRow>& rows, const QString& host);

private:
    QRect devicePlot() const;

    QSize m_size{600, 300};
    qreal m_ratio = 1;
    PlotColumns m_columns;
    RoundTripScale m_scale = RoundTripScale::fit({}, {}, 5);
};
