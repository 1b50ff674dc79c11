#pragma once

#include "EchoFigures.h"

#include "report/plot/PlotColumns.h"

#include <QFont>
#include <QRectF>

class QPainter;

// The report's latency graph of the period, in the History window's
// colours: per column the median round trip as a line over its spread
// (the middle half dark, 10 % to 90 % lighter, minimum to maximum faint),
// the round-trip axis on the left; below it a lane with the share of each
// column's echoes lost, and the local time. Drawn in whatever units the
// painter uses, vector all through, for the PDF.
namespace report {

class EchoGraph {
public:
    EchoGraph(const EchoFigures& figures, qint64 fromMs, qint64 toMs);

    // Draws in `area`; `mm` is a millimetre in the painter's units.
    void draw(QPainter& painter, const QRectF& area, const QFont& font, double mm) const;

    const PlotColumns& columns() const { return m_columns; }

private:
    qint64 m_fromMs;
    qint64 m_toMs;
    qint64 m_graphFromMs;
    qint64 m_columnMs;
    PlotColumns m_columns;
};

} // namespace report
