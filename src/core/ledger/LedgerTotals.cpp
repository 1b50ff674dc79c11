#include "LedgerTotals.h"

#include <algorithm>
#include <limits>
#include <set>
#include <utility>
#include <vector>

namespace ledger {

namespace {

// Where a clipped row begins or ends.
struct Edge {
    qint64 at;
    int row;
    bool opens;
};

} // namespace

Totals totals(const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to, const QDateTime& watchedSince) {
    Totals result;
    result.availability = std::numeric_limits<double>::quiet_NaN();
    if (!from.isValid() || !to.isValid())
        return result;
    qint64 begin = from.toMSecsSinceEpoch();
    if (watchedSince.isValid())
        begin = std::max(begin, watchedSince.toMSecsSinceEpoch());
    const qint64 end = to.toMSecsSinceEpoch();
    if (end <= begin)
        return result;

    std::vector<Edge> edges;
    for (int i = 0; i < rows.size(); ++i) {
        const LedgerRow& row = rows[i];
        if (!row.start.isValid())
            continue;
        const qint64 start = row.start.toMSecsSinceEpoch();
        const qint64 stop = row.end.isValid() ? row.end.toMSecsSinceEpoch() : start + row.durationMs;
        const qint64 clippedStart = std::max(start, begin);
        const qint64 clippedStop = std::min(stop, end);
        const bool outage = row.kind == LedgerRow::Kind::Outage;
        if (clippedStop <= clippedStart) {
            // An outage of no length still counts when it lies in the period.
            if (outage && stop <= start && start >= begin && start < end)
                ++result.outages;
            continue;
        }
        if (outage) {
            ++result.outages;
            result.longestMs = std::max(result.longestMs, clippedStop - clippedStart);
        }
        edges.push_back({clippedStart, i, true});
        edges.push_back({clippedStop, i, false});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });

    // A sweep over the edges: between two of them the same rows are open.
    int openGaps = 0;
    std::set<std::pair<qint64, int>> openOutages; // by start, the first begun first
    qint64 previous = begin;
    for (const Edge& edge : edges) {
        const qint64 length = edge.at - previous;
        if (length > 0 && openGaps > 0) {
            result.gapMs += length;
        } else if (length > 0 && !openOutages.empty()) {
            result.downMs += length;
            result.downByCause[rows[openOutages.begin()->second].cause] += length;
        }
        previous = edge.at;
        const LedgerRow& row = rows[edge.row];
        if (row.kind == LedgerRow::Kind::Gap) {
            openGaps += edge.opens ? 1 : -1;
        } else {
            const std::pair<qint64, int> key{row.start.toMSecsSinceEpoch(), edge.row};
            if (edge.opens)
                openOutages.insert(key);
            else
                openOutages.erase(key);
        }
    }
    result.watchedMs = end - begin - result.gapMs;
    if (result.watchedMs > 0)
        result.availability =
            static_cast<double>(result.watchedMs - result.downMs) / static_cast<double>(result.watchedMs);
    return result;
}

} // namespace ledger
