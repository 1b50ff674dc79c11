#pragma once

#include "echo/EchoSample.h"
#include "trace/PathSnapshot.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

// What the history holds, as the window, the report and the export read it.
// Times are milliseconds since the epoch (UTC); round trips microseconds.

// The echoes of one span of time, [fromMs, toMs).
struct HistoryBucket {
    qint64 fromMs = 0;
    qint64 toMs = 0;
    int echoes = 0; // sent
    int lost = 0;   // of them: no answer, or an error
    // The answered ones' round trips; all -1 when none was answered. The
    // quantiles are exact over raw echoes and close estimates over minutes.
    std::int64_t minUs = -1;
    std::int64_t p10Us = -1;
    std::int64_t p25Us = -1;
    std::int64_t medianUs = -1;
    std::int64_t p75Us = -1;
    std::int64_t p90Us = -1;
    std::int64_t maxUs = -1;
};

// A host the history holds: as typed, its last address, the span it covers.
struct HistoryHost {
    QString host;
    QString address;
    qint64 firstMs = 0;
    qint64 lastMs = 0;
};

class IHistorySource {
public:
    virtual ~IHistorySource() = default;
    // The hosts, and the hops of their traced paths (see HopSeries.h).
    virtual QList<HistoryHost> hosts() = 0;
    // `columns` buckets of equal length that cover [fromMs, toMs) for `host`
    // (as typed), oldest first; a bucket without echoes has echoes == 0.
    virtual QList<HistoryBucket> buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) = 0;
    // Every echo kept of `host` in [fromMs, toMs), oldest first, until `take`
    // returns false. Only `sent.wall` of the moments is known.
    virtual void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                             const std::function<bool(const EchoSample&)>& take) = 0;
    // The route changes of `host`'s path in [fromMs, toMs), oldest first.
    virtual QList<RouteChange> routeChanges(const QString& /*host*/, qint64 /*fromMs*/, qint64 /*toMs*/) { return {}; }
};
