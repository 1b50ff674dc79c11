#pragma once

#include "history/BucketRun.h"

#include <vector>

// What each pixel column of the plot shows, from the cached buckets: the
// bucket under it, or several merged where the cache is finer than the
// view (until the view's own arrive), or one spread over several where it
// is coarser. Zoomed in so far that echoes are sparser than the columns,
// the columns between two echoes show the nearer one, so that the smoke
// and the loss read as a band rather than as needles; a longer stretch
// without echoes (nothing was sent) stays empty.
class PlotColumns {
public:
    PlotColumns() = default;
    // The view [fromMs, fromMs + msPerColumn * count).
    PlotColumns(const BucketRun& run, double fromMs, double msPerColumn, int count);

    int count() const { return int(m_buckets.size()); }
    // The bucket column x shows, with its own span; echoes == 0 for none.
    const HistoryBucket& at(int x) const { return m_buckets[std::size_t(m_source[std::size_t(x)])]; }
    // The column whose bucket column x shows, or x itself when it has none
    // of its own and none is near.
    int source(int x) const { return m_source[std::size_t(x)]; }
    // Whether the median line goes on from the echoes of column x to those
    // of the next column that has any: no column without echoes between
    // them except where both are held.
    bool joinsNext(int x) const { return m_joins[std::size_t(x)]; }

    // Sums over the columns: echoes and lost.
    qint64 echoes() const { return m_echoes; }
    qint64 lost() const { return m_lost; }

private:
    std::vector<HistoryBucket> m_buckets;
    std::vector<int> m_source;
    std::vector<bool> m_joins;
    qint64 m_echoes = 0;
    qint64 m_lost = 0;
};
