#include "history/BucketCache.h"

#include <algorithm>

qint64 BucketCache::floorToGrid(qint64 ms, qint64 widthMs) {
    const qint64 q = ms / widthMs;
    return (ms % widthMs != 0 && ms < 0 ? q - 1 : q) * widthMs;
}

qint64 BucketCache::ceilToGrid(qint64 ms, qint64 widthMs) {
    const qint64 floor = floorToGrid(ms, widthMs);
    return floor == ms ? ms : floor + widthMs;
}

void BucketCache::clear() {
    m_run = BucketRun();
    m_freshUntil = 0;
}

void BucketCache::merge(const BucketRun& run, qsizetype maxBuckets, qint64 keepNearMs) {
    if (run.buckets.isEmpty() || run.widthMs <= 0)
        return;
    const qint64 fresh = std::min(run.toMs(), run.asOfMs);
    const bool joins = !m_run.buckets.isEmpty() && m_run.host == run.host && m_run.widthMs == run.widthMs &&
                       run.fromMs <= m_run.toMs() && run.toMs() >= m_run.fromMs;
    if (!joins) {
        m_run = run;
        m_freshUntil = fresh;
    } else {
        const qint64 from = std::min(m_run.fromMs, run.fromMs);
        const qint64 to = std::max(m_run.toMs(), run.toMs());
        QList<HistoryBucket> joined;
        joined.reserve((to - from) / run.widthMs);
        const auto append = [&](const BucketRun& source, qint64 a, qint64 b) {
            const qsizetype first = (a - source.fromMs) / source.widthMs;
            joined.append(source.buckets.mid(first, (b - a) / source.widthMs));
        };
        if (from < run.fromMs)
            append(m_run, from, run.fromMs);
        joined.append(run.buckets);
        if (to > run.toMs())
            append(m_run, run.toMs(), to);
        // The new run is fresh up to its clock where it reaches the cached
        // run's open end; past its end the cached buckets stay as fresh as
        // they were.
        if (run.fromMs <= m_freshUntil)
            m_freshUntil = run.toMs() >= m_run.toMs() ? fresh : std::max(m_freshUntil, fresh);
        m_run.fromMs = from;
        m_run.buckets = std::move(joined);
        m_run.asOfMs = std::max(m_run.asOfMs, run.asOfMs);
    }
    const qsizetype extra = m_run.buckets.size() - maxBuckets;
    if (maxBuckets > 0 && extra > 0) {
        const qsizetype near = (keepNearMs - m_run.fromMs) / m_run.widthMs;
        const qsizetype first = std::clamp<qsizetype>(near - maxBuckets / 2, 0, extra);
        m_run.buckets = m_run.buckets.mid(first, maxBuckets);
        m_run.fromMs += first * m_run.widthMs;
        m_freshUntil = std::min(m_freshUntil, m_run.toMs());
    }
}

BucketCache::Span BucketCache::missing(const QString& host, qint64 widthMs, qint64 fromMs, qint64 toMs,
                                       qint64 nowMs) const {
    const qint64 from = floorToGrid(fromMs, widthMs);
    const qint64 to = ceilToGrid(toMs, widthMs);
    if (from >= to)
        return {from, from};
    if (m_run.buckets.isEmpty() || m_run.host != host || m_run.widthMs != widthMs)
        return {from, to};
    qint64 first = to;
    qint64 last = from;
    const auto lack = [&](qint64 a, qint64 b) {
        if (a >= b)
            return;
        first = std::min(first, a);
        last = std::max(last, b);
    };
    lack(from, std::min(to, m_run.fromMs));
    lack(std::max(from, m_run.toMs()), to);
    // Buckets the clock has moved past since they were fetched.
    if (nowMs > m_freshUntil)
        lack(std::max(from, floorToGrid(m_freshUntil, widthMs)), std::min(to, ceilToGrid(nowMs, widthMs)));
    return first < last ? Span{first, last} : Span{from, from};
}
