#include "report/plot/PlotColumns.h"

#include <algorithm>
#include <cmath>

namespace {

// Two buckets in one column: counts add up, the extremes are the wider,
// the quantiles those of the one with more answers.
void mergeInto(HistoryBucket& into, const HistoryBucket& b) {
    if (b.echoes == 0)
        return;
    if (into.echoes == 0) {
        into = b;
        return;
    }
    const bool takeQuantiles = b.echoes - b.lost > into.echoes - into.lost;
    into.fromMs = std::min(into.fromMs, b.fromMs);
    into.toMs = std::max(into.toMs, b.toMs);
    into.echoes += b.echoes;
    into.lost += b.lost;
    if (b.minUs >= 0)
        into.minUs = into.minUs < 0 ? b.minUs : std::min(into.minUs, b.minUs);
    into.maxUs = std::max(into.maxUs, b.maxUs);
    if (takeQuantiles) {
        into.p10Us = b.p10Us;
        into.p25Us = b.p25Us;
        into.medianUs = b.medianUs;
        into.p75Us = b.p75Us;
        into.p90Us = b.p90Us;
    }
}

} // namespace

PlotColumns::PlotColumns(const BucketRun& run, double fromMs, double msPerColumn, int count)
    : m_buckets(std::size_t(std::max(count, 0))), m_source(m_buckets.size()), m_joins(m_buckets.size(), false) {
    const auto n = qsizetype(m_buckets.size());
    for (qsizetype x = 0; x < n; ++x) {
        m_source[std::size_t(x)] = int(x);
        m_buckets[std::size_t(x)].fromMs = qint64(std::floor(fromMs + double(x) * msPerColumn));
        m_buckets[std::size_t(x)].toMs = qint64(std::floor(fromMs + double(x + 1) * msPerColumn));
    }
    if (n == 0 || run.buckets.isEmpty() || msPerColumn <= 0)
        return;
    const double width = double(run.widthMs);
    if (width >= msPerColumn) {
        // Each column shows the bucket under its middle.
        for (qsizetype x = 0; x < n; ++x) {
            const double middle = fromMs + (double(x) + 0.5) * msPerColumn;
            const auto i = qsizetype(std::floor((middle - double(run.fromMs)) / width));
            if (i >= 0 && i < run.buckets.size()) {
                HistoryBucket b = run.buckets[i];
                b.fromMs = run.fromMs + i * run.widthMs;
                b.toMs = b.fromMs + run.widthMs;
                if (b.echoes > 0)
                    m_buckets[std::size_t(x)] = b;
            }
        }
    } else {
        const auto first = std::max<qsizetype>(0, qsizetype((fromMs - double(run.fromMs)) / width));
        for (qsizetype i = first; i < run.buckets.size(); ++i) {
            const double start = double(run.fromMs + i * run.widthMs);
            const auto x = qsizetype(std::floor((start + width / 2 - fromMs) / msPerColumn));
            if (x >= n)
                break;
            if (x < 0)
                continue;
            HistoryBucket b = run.buckets[i];
            b.fromMs = run.fromMs + i * run.widthMs;
            b.toMs = b.fromMs + run.widthMs;
            mergeInto(m_buckets[std::size_t(x)], b);
        }
    }

    std::vector<int> filled;
    for (qsizetype x = 0; x < n; ++x) {
        const HistoryBucket& b = m_buckets[std::size_t(x)];
        m_echoes += b.echoes;
        m_lost += b.lost;
        if (b.echoes > 0)
            filled.push_back(int(x));
    }
    // The usual distance between columns with echoes: 1 where the view
    // has echoes in every column, more when zoomed in past them.
    std::vector<int> gaps;
    for (std::size_t i = 1; i < filled.size(); ++i)
        gaps.push_back(filled[i] - filled[i - 1]);
    int spacing = 1;
    if (!gaps.empty()) {
        std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
        spacing = gaps[gaps.size() / 2];
    }
    const int bridge = spacing >= 2 ? spacing + spacing / 2 : 1;
    // An echo that is not answered holds the next one back by its time-out:
    // lost ones lie further apart than answered ones, and a run of them is
    // bridged at its own spacing, so that an outage reads as one red band.
    const auto allLost = [this](int x) {
        const HistoryBucket& b = m_buckets[std::size_t(x)];
        return b.echoes > 0 && b.lost == b.echoes;
    };
    std::vector<int> lostGaps;
    for (std::size_t i = 1; i < filled.size(); ++i)
        if (allLost(filled[i - 1]) && allLost(filled[i]))
            lostGaps.push_back(filled[i] - filled[i - 1]);
    int lostBridge = bridge;
    if (spacing >= 2 && !lostGaps.empty()) {
        std::nth_element(lostGaps.begin(), lostGaps.begin() + std::ptrdiff_t(lostGaps.size() / 2), lostGaps.end());
        const int lostSpacing = lostGaps[lostGaps.size() / 2];
        lostBridge = std::max(bridge, lostSpacing + lostSpacing / 2);
    }
    const auto bridgeOf = [&](int a, int b) { return allLost(a) && allLost(b) ? lostBridge : bridge; };
    for (std::size_t i = 0; i < filled.size(); ++i) {
        const int x = filled[i];
        const int next = i + 1 < filled.size() ? filled[i + 1] : -1;
        const bool near = next >= 0 && next - x <= bridgeOf(x, next);
        m_joins[std::size_t(x)] = near;
        // Held: each echo's own columns reach half-way to its neighbours,
        // and as far to the sides at the ends.
        const int reach = spacing >= 2 ? spacing / 2 : 0;
        const int left = i > 0 && x - filled[i - 1] <= bridgeOf(filled[i - 1], x) ? (x - filled[i - 1] - 1) / 2 : reach;
        const int right = near ? (next - x - 1) / 2 + ((next - x - 1) % 2) : reach;
        for (int c = std::max(0, x - left); c <= std::min(int(n) - 1, x + right); ++c)
            if (m_buckets[std::size_t(c)].echoes == 0)
                m_source[std::size_t(c)] = x;
    }
}
