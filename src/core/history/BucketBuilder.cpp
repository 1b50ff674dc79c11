#include "history/BucketBuilder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kQuantiles[] = {0.10, 0.25, 0.50, 0.75, 0.90};

// The q-quantile of sorted values, read linearly between the two nearest ranks.
std::int64_t exactQuantile(const std::vector<std::int64_t>& sorted, double q) {
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    const double share = at - static_cast<double>(below);
    return std::llround(static_cast<double>(sorted[below]) +
                        share * static_cast<double>(sorted[above] - sorted[below]));
}

} // namespace

BucketBuilder::BucketBuilder(std::int64_t fromMs, std::int64_t toMs, int columns)
    : m_from(fromMs), m_to(std::max(toMs, fromMs)), m_columns(std::max(columns, 0)),
      m_cells(static_cast<std::size_t>(m_columns)) {
    m_bounds.reserve(m_cells.size() + 1);
    for (int i = 0; i <= m_columns; ++i)
        m_bounds.push_back(m_columns ? m_from + (m_to - m_from) * i / m_columns : m_to);
}

int BucketBuilder::columnOf(std::int64_t ms) const {
    if (ms < m_from || ms >= m_to || m_columns == 0)
        return -1;
    int c = static_cast<int>((ms - m_from) * m_columns / (m_to - m_from));
    while (c > 0 && ms < bound(c))
        --c;
    while (c + 1 < m_columns && ms >= bound(c + 1))
        ++c;
    return c;
}

void BucketBuilder::widen(Column& c, std::int64_t minUs, std::int64_t maxUs) {
    if (minUs < 0)
        return;
    c.minUs = c.minUs < 0 ? minUs : std::min(c.minUs, minUs);
    c.maxUs = std::max(c.maxUs, maxUs);
}

void BucketBuilder::addEcho(std::int64_t sentMs, bool answered, std::int64_t rttUs) {
    const int at = columnOf(sentMs);
    if (at < 0)
        return;
    Column& c = m_cells[static_cast<std::size_t>(at)];
    c.echoes += 1;
    if (!answered) {
        c.lost += 1;
    } else if (rttUs >= 0) {
        c.exact.push_back(rttUs);
        widen(c, rttUs, rttUs);
    }
}

void BucketBuilder::addSummary(std::int64_t startMs, std::int64_t lengthMs, std::int64_t echoes, std::int64_t lost,
                               std::int64_t minUs, std::int64_t maxUs, std::string_view histogram) {
    const std::int64_t begin = std::max(startMs, m_from);
    const std::int64_t end = std::min(startMs + lengthMs, m_to);
    if (begin >= end || lengthMs <= 0)
        return;
    const int first = columnOf(begin);
    const int last = columnOf(end - 1);
    // The bins that hold any, as they come: a minute fills only a few.
    int bins[RttHistogram::Bins];
    double counts[RttHistogram::Bins];
    std::size_t used = 0;
    RttHistogram::forEachBin(reinterpret_cast<const unsigned char*>(histogram.data()), histogram.size(),
                             [&](int bin, std::uint64_t count) {
                                 bins[used] = bin;
                                 counts[used++] = static_cast<double>(count);
                             });
    for (int i = first; i <= last; ++i) {
        const std::int64_t overlap = std::min(end, bound(i + 1)) - std::max(begin, bound(i));
        if (overlap <= 0)
            continue;
        const double share = static_cast<double>(overlap) / static_cast<double>(lengthMs);
        Column& c = m_cells[static_cast<std::size_t>(i)];
        c.echoes += share * static_cast<double>(echoes);
        c.lost += share * static_cast<double>(lost);
        widen(c, minUs, maxUs);
        if (!c.histogram)
            c.histogram = std::make_unique<std::array<double, RttHistogram::Bins>>();
        for (std::size_t b = 0; b < used; ++b)
            (*c.histogram)[static_cast<std::size_t>(bins[b])] += share * counts[b];
    }
}

QList<HistoryBucket> BucketBuilder::finish() {
    QList<HistoryBucket> out;
    out.reserve(m_columns);
    for (int i = 0; i < m_columns; ++i) {
        Column& c = m_cells[static_cast<std::size_t>(i)];
        HistoryBucket b;
        b.fromMs = bound(i);
        b.toMs = bound(i + 1);
        b.echoes = static_cast<int>(std::llround(c.echoes));
        b.lost = std::min(b.echoes, static_cast<int>(std::llround(c.lost)));
        std::int64_t* quantiles[] = {&b.p10Us, &b.p25Us, &b.medianUs, &b.p75Us, &b.p90Us};
        if (b.echoes > 0 && c.minUs >= 0) {
            b.minUs = c.minUs;
            b.maxUs = c.maxUs;
            std::sort(c.exact.begin(), c.exact.end());
            if (c.histogram) {
                for (const std::int64_t us : c.exact)
                    (*c.histogram)[static_cast<std::size_t>(RttHistogram::binOf(us))] += 1;
                std::int64_t values[5];
                RttHistogram::quantiles(*c.histogram, kQuantiles, 5, c.minUs, c.maxUs, values);
                for (int q = 0; q < 5; ++q)
                    *quantiles[q] = values[q];
            } else {
                for (int q = 0; q < 5; ++q)
                    *quantiles[q] = exactQuantile(c.exact, kQuantiles[q]);
            }
        }
        out.append(b);
    }
    m_cells.clear();
    return out;
}
