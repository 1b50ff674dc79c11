#pragma once

#include "history/HistoryPlot.h"

#include <QString>

// What the history window reads out for the column under the pointer: its
// span in local time, its echoes and those lost, the round trips' minimum,
// median and maximum, and the outage or gap it lies in. And the sums of
// the view when the pointer is elsewhere.
namespace historyreadout {

// "2026-12-08 14:00:00 – 14:01:00: 60 echoes, 2 lost · min 11.9 ms, median 14.1 ms,
// max 21.0 ms · Outage: Beyond the gateway"
QString column(const HistoryBucket& bucket, const HistoryPlot::Span* span);
// "3600 echoes in view, 12 lost (0.33 %)".
QString totals(qint64 echoes, qint64 lost);
// Round trips as read: "0.42 ms", "14.1 ms", "212 ms".
QString roundTrip(std::int64_t us);

} // namespace historyreadout
