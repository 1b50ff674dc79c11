#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

class PlotColumns;

// The round-trip axis of the history: from 0 to a round number of
// milliseconds a little above what the view mostly shows, so that the
// typical round trip fills the height and the odd spike is cut at the top.
class RoundTripScale {
public:
    // Over the columns' 75th and 90th percentiles (microseconds): 98 % of
    // the first fit with a quarter to spare, and 90 % of the second. Few
    // echoes to a column make its 90th percentile one of its spikes: those
    // are cut rather than fitted. `maxIntervals` is how many tick intervals
    // the height has room for.
    static RoundTripScale fit(std::vector<std::int64_t> upperQuartilesUs, std::vector<std::int64_t> upperDecilesUs,
                              int maxIntervals);
    // The same over the upper ends of the spread the columns show: each
    // column with answers of its own counts once.
    static RoundTripScale fit(const PlotColumns& columns, int maxIntervals);

    double topMs() const { return m_top; }
    double stepMs() const { return m_step; }
    // The ticks from 0 to the top.
    QList<double> ticks() const;
    // "20 ms", "0.5 ms".
    QString label(double ms) const;
    // Where `us` lies, 0 at the bottom and 1 at the top (beyond: cut).
    double share(std::int64_t us) const;

private:
    RoundTripScale(double top, double step) : m_top(top), m_step(step) {}
    double m_top;
    double m_step;
};
