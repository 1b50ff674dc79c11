#pragma once

#include "HopMetrics.h"
#include "echo/EchoSample.h"

#include <QMap>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

namespace metrics {

// The round-trip histogram's upper bounds in microseconds (0.5 ms .. 10 s);
// one more bucket beyond them counts everything longer.
inline constexpr std::array<std::int64_t, 14> kBucketBoundsMicros = {
    500,     1'000,   2'500,   5'000,     10'000,    25'000,    50'000,
    100'000, 250'000, 500'000, 1'000'000, 2'500'000, 5'000'000, 10'000'000};
inline constexpr std::size_t kBucketCount = kBucketBoundsMicros.size() + 1;
// The bucket of a round trip: the first bound at or above it; past the last
// one, the overflow bucket.
std::size_t bucketOf(std::int64_t micros);

// What one watched host has seen since the watch began: the echoes sent, what
// became of them and the round trips of the replies, in whole microseconds,
// plus the reliability index and whether the alerts count the connection up.
class HostMetrics {
public:
    // Counts by text; most hosts have none, and an empty one costs a
    // pointer. Copies share until one changes, as a scrape's snapshot does.
    using Counts = QMap<QString, std::uint64_t>;

    HostMetrics(QString host, QString address);

    const QString& host() const { return m_host; }
    // The address as last resolved; a new lookup may change it.
    const QString& address() const { return m_address; }
    void setAddress(const QString& address) { m_address = address; }

    void recordRequest() { ++m_requests; }
    // A reply counts its round trip; anything else is a loss counted under
    // its status's text.
    void recordOutcome(const EchoSample& echo);
    void recordLoss(const QString& statusText);
    // The reliability index as a ratio, kept within 0..1.
    void setIndex(double ratio);
    void setUp(bool up) { m_up = up; }
    // A finished outage, under the cause it was put down to.
    void recordOutage(const QString& cause, std::int64_t durationMs);

    std::uint64_t requests() const { return m_requests; }
    std::uint64_t replies() const { return m_replies; }
    std::uint64_t losses() const { return m_losses; }
    const Counts& lossesByStatus() const { return m_lossesByStatus; }
    // Replies per bucket, not cumulative; the last bucket is above 10 s.
    const std::array<std::uint64_t, kBucketCount>& buckets() const { return m_buckets; }
    std::uint64_t roundTripSumMicros() const { return m_roundTripSumMicros; }
    double index() const { return m_index; }
    bool up() const { return m_up; }
    // Per cause: outages, and their time in milliseconds.
    const Counts& outagesByCause() const { return m_outages; }
    const Counts& outageMillisByCause() const { return m_outageMillis; }

    // A probe of the host's path trace. The hops' record is made at the
    // first; copies of this record share it until one of them changes.
    void recordTraceProbe(const TraceProbe& probe);
    // None while the path is not traced.
    const HopMetrics* hops() const { return m_hops.get(); }

private:
    void observeRoundTrip(std::int64_t micros);

    QString m_host;
    QString m_address;
    std::uint64_t m_requests = 0;
    std::uint64_t m_replies = 0;
    std::uint64_t m_losses = 0;
    Counts m_lossesByStatus;
    std::array<std::uint64_t, kBucketCount> m_buckets{};
    std::uint64_t m_roundTripSumMicros = 0;
    double m_index = 0;
    bool m_up = false;
    Counts m_outages;
    Counts m_outageMillis;
    std::shared_ptr<HopMetrics> m_hops;
};

} // namespace metrics
