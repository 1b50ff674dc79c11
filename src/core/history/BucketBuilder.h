#pragma once

#include "history/HistorySource.h"
#include "history/RttHistogram.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Gathers echoes and summaries into equal columns over [fromMs, toMs). An
// echo counts in the column its sent time falls in; a summary is spread
// over the columns it overlaps by their share of its span. A column of
// echoes alone gets exact quantiles; one with summaries in it, quantiles
// read from the histograms added up.
class BucketBuilder {
public:
    BucketBuilder(std::int64_t fromMs, std::int64_t toMs, int columns);

    void addEcho(std::int64_t sentMs, bool answered, std::int64_t rttUs);
    void addSummary(std::int64_t startMs, std::int64_t lengthMs, std::int64_t echoes, std::int64_t lost,
                    std::int64_t minUs, std::int64_t maxUs, std::string_view histogram);
    QList<HistoryBucket> finish();

private:
    struct Column {
        double echoes = 0;
        double lost = 0;
        std::int64_t minUs = -1;
        std::int64_t maxUs = -1;
        std::vector<std::int64_t> exact;
        std::unique_ptr<std::array<double, RttHistogram::Bins>> histogram;
    };
    std::int64_t bound(int column) const { return m_bounds[static_cast<std::size_t>(column)]; }
    int columnOf(std::int64_t ms) const;
    static void widen(Column& c, std::int64_t minUs, std::int64_t maxUs);

    std::int64_t m_from;
    std::int64_t m_to;
    int m_columns;
    std::vector<std::int64_t> m_bounds; // columns + 1 of them
    std::vector<Column> m_cells;
};
