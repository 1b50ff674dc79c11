#pragma once

#include "history/RttHistogram.h"
#include "history/StoredEcho.h"

#include <cstdint>
#include <vector>

// What a minute (or an hour) of a series' echoes comes to: how many were
// sent and lost, the answered ones' round trips as minimum, maximum, mean
// and median, and their histogram, which lets minutes add up to longer spans.
struct EchoSummary {
    std::int64_t echoes = 0;
    std::int64_t lost = 0; // no answer, or an error
    std::int64_t minUs = -1;
    std::int64_t maxUs = -1;
    std::int64_t meanUs = -1;
    std::int64_t medianUs = -1;
    RttHistogram histogram;

    // From the echoes themselves: the median is exact.
    static EchoSummary of(const std::vector<StoredEcho>& echoes);
    // Of summaries together: the median is read from the histogram.
    static EchoSummary merged(const std::vector<EchoSummary>& parts);
};
