#pragma once

#include "history/BucketRun.h"

#include <utility>

// The buckets fetched so far for the view: one run of one host on one
// grid, grown as fetches join it and cut back to what lies near the view.
// Buckets that end after the clock of their fetch may gain echoes still:
// the cache knows up to when it is fresh.
class BucketCache {
public:
    using Span = std::pair<qint64, qint64>; // [first, second); empty when first >= second

    // The grid line at or before `ms`, and at or after it.
    static qint64 floorToGrid(qint64 ms, qint64 widthMs);
    static qint64 ceilToGrid(qint64 ms, qint64 widthMs);

    const BucketRun& run() const { return m_run; }
    bool empty() const { return m_run.buckets.isEmpty(); }
    void clear();

    // Takes in a fetched run. It joins the cached one when both are of the
    // same host and grid and they touch or overlap (its buckets replace the
    // cached ones where both have some), else it replaces it. Then at most
    // `maxBuckets` are kept, those nearest `keepNearMs`.
    void merge(const BucketRun& run, qsizetype maxBuckets, qint64 keepNearMs);

    // What the cache lacks of [fromMs, toMs) on the grid of `widthMs` for
    // `host` (the span is widened to the grid): one span from the first
    // bucket missing to the last, with the buckets of the open end that may
    // have gained echoes by `nowMs`. Empty when it has them all.
    Span missing(const QString& host, qint64 widthMs, qint64 fromMs, qint64 toMs, qint64 nowMs) const;

    // The moment up to which the cached buckets hold every echo.
    qint64 freshUntilMs() const { return m_freshUntil; }

private:
    BucketRun m_run;
    qint64 m_freshUntil = 0;
};
