#include "HostMetrics.h"

#include "icmp/TICMP.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace metrics {

HostMetrics::HostMetrics(QString host, QString address) : m_host(std::move(host)), m_address(std::move(address)) {}

void HostMetrics::recordOutcome(const EchoSample& echo) {
    if (!echo.answered()) {
        recordLoss(TICMP::StatusText(echo.status));
        return;
    }
    ++m_replies;
    observeRoundTrip(echo.roundTripMicros);
}

void HostMetrics::recordLoss(const QString& statusText) {
    ++m_losses;
    ++m_lossesByStatus[statusText];
}

std::size_t bucketOf(std::int64_t micros) {
    const auto bound = std::lower_bound(kBucketBoundsMicros.begin(), kBucketBoundsMicros.end(), micros);
    return static_cast<std::size_t>(bound - kBucketBoundsMicros.begin());
}

void HostMetrics::observeRoundTrip(std::int64_t micros) {
    ++m_buckets[bucketOf(micros)];
    m_roundTripSumMicros += static_cast<std::uint64_t>(micros);
}

void HostMetrics::recordTraceProbe(const TraceProbe& probe) {
    if (!m_hops)
        m_hops = std::make_shared<HopMetrics>();
    else if (m_hops.use_count() > 1) // a scrape's snapshot holds the hops as they were
        m_hops = std::make_shared<HopMetrics>(*m_hops);
    m_hops->record(probe);
}

void HostMetrics::setIndex(double ratio) {
    m_index = std::isnan(ratio) ? 0 : std::clamp(ratio, 0.0, 1.0);
}

void HostMetrics::recordOutage(const QString& cause, std::int64_t durationMs) {
    const QString name = cause.isEmpty() ? QStringLiteral("unknown") : cause;
    m_outages[name] += 1;
    m_outageMillis[name] += static_cast<std::uint64_t>(std::max<std::int64_t>(durationMs, 0));
}

} // namespace metrics
