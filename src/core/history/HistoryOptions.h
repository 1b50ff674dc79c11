#pragma once

#include <cstdint>

// What a history keeps and how much it holds in memory while it cannot write.
struct HistoryOptions {
    int keepDays = 35;     // every echo ([History] KeepDays)
    int summaryDays = 400; // the minute, ten-minute and hour summaries
    // Echoes kept in memory while the file cannot be written; those beyond
    // are dropped and counted.
    std::int64_t maxPendingEchoes = 1'000'000;
    // Files up to this size are checked in full (PRAGMA quick_check) when opened.
    std::int64_t checkLimitBytes = std::int64_t{64} << 20;
    // Closing a slot waits this long after its end for echoes still out.
    std::int64_t graceMs = 15'000;
};
