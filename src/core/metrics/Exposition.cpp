#include "Exposition.h"

namespace metrics {

namespace {

constexpr char kRequests[] = "linkvigil_echo_requests_total";
constexpr char kReplies[] = "linkvigil_echo_replies_total";
constexpr char kLosses[] = "linkvigil_echo_losses_total";
constexpr char kLossesByStatus[] = "linkvigil_echo_losses_by_status_total";
constexpr char kRoundTrip[] = "linkvigil_round_trip_seconds";
constexpr char kReliability[] = "linkvigil_reliability_ratio";
constexpr char kUp[] = "linkvigil_connection_up";
constexpr char kOutages[] = "linkvigil_outages_total";
constexpr char kOutageSeconds[] = "linkvigil_outage_seconds_total";

QByteArray count(std::uint64_t value) {
    return QByteArray::number(static_cast<qulonglong>(value));
}

// Whole microseconds as seconds, without trailing zeros: 500 -> "0.0005",
// 30123 -> "0.030123", 10000000 -> "10".
QByteArray microsAsSeconds(std::uint64_t micros) {
    QByteArray text = count(micros / 1'000'000);
    if (std::uint64_t fraction = micros % 1'000'000) {
        QByteArray digits = count(fraction).rightJustified(6, '0');
        while (digits.endsWith('0'))
            digits.chop(1);
        text += '.' + digits;
    }
    return text;
}

// A label value with backslash, double quote and line feed escaped.
QByteArray escapeLabelValue(const QString& value) {
    QByteArray escaped;
    for (const char c : value.toUtf8()) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

// Writes the families one after another, each host's series under them.
class Writer {
public:
    explicit Writer(const std::vector<const HostMetrics*>& hosts) : m_hosts(hosts) {
        m_labels.reserve(hosts.size());
        for (const HostMetrics* host : hosts)
            m_labels.push_back("host=\"" + escapeLabelValue(host->host()) + "\",address=\"" +
                               escapeLabelValue(host->address()) + '"');
    }

    void family(const char* name, const char* type, const char* help) {
        m_out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }

    // One sample per host, labelled with the host and its address only.
    template <typename Value> void perHost(const char* name, Value value) {
        for (std::size_t i = 0; i < m_hosts.size(); ++i)
            sample(name, m_labels[i], value(*m_hosts[i]));
    }

    void sample(const QByteArray& name, const QByteArray& labels, const QByteArray& value) {
        m_out += name + '{' + labels + "} " + value + '\n';
    }

    const QByteArray& labels(std::size_t i) const { return m_labels[i]; }
    QByteArray take() { return std::move(m_out); }

private:
    const std::vector<const HostMetrics*>& m_hosts;
    std::vector<QByteArray> m_labels;
    QByteArray m_out;
};

} // namespace

QByteArray exposition(const std::vector<const HostMetrics*>& hosts) {
    Writer out(hosts);

    out.family(kRequests, "counter", "Echo requests sent.");
    out.perHost(kRequests, [](const HostMetrics& h) { return count(h.requests()); });
    out.family(kReplies, "counter", "Echo replies received.");
    out.perHost(kReplies, [](const HostMetrics& h) { return count(h.replies()); });
    out.family(kLosses, "counter", "Echo requests that got no reply.");
    out.perHost(kLosses, [](const HostMetrics& h) { return count(h.losses()); });

    out.family(kLossesByStatus, "counter", "Echo requests that got no reply, by the status they ended with.");
    for (std::size_t i = 0; i < hosts.size(); ++i)
        for (const auto& [status, losses] : hosts[i]->lossesByStatus())
            out.sample(kLossesByStatus, out.labels(i) + ",status=\"" + escapeLabelValue(status) + '"', count(losses));

    out.family(kRoundTrip, "histogram", "Round-trip times of the echo replies.");
    const QByteArray bucket = QByteArray(kRoundTrip) + "_bucket";
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const HostMetrics& host = *hosts[i];
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b < kBucketCount; ++b) {
            cumulative += host.buckets()[b];
            const QByteArray le = b < kBucketBoundsMicros.size()
                                      ? microsAsSeconds(static_cast<std::uint64_t>(kBucketBoundsMicros[b]))
                                      : QByteArray("+Inf");
            out.sample(bucket, out.labels(i) + ",le=\"" + le + '"', count(cumulative));
        }
        out.sample(QByteArray(kRoundTrip) + "_sum", out.labels(i), microsAsSeconds(host.roundTripSumMicros()));
        out.sample(QByteArray(kRoundTrip) + "_count", out.labels(i), count(cumulative));
    }

    out.family(kReliability, "gauge", "The reliability index, 0 to 1: falls fast on a loss, recovers slowly.");
    out.perHost(kReliability, [](const HostMetrics& h) { return QByteArray::number(h.index(), 'g', 15); });
    out.family(kUp, "gauge", "1 while the alerts count the connection as up, else 0.");
    out.perHost(kUp, [](const HostMetrics& h) { return QByteArray(h.up() ? "1" : "0"); });

    out.family(kOutages, "counter", "Finished outages, by the cause they were put down to.");
    for (std::size_t i = 0; i < hosts.size(); ++i)
        for (const auto& [cause, outages] : hosts[i]->outagesByCause())
            out.sample(kOutages, out.labels(i) + ",cause=\"" + escapeLabelValue(cause) + '"', count(outages));
    out.family(kOutageSeconds, "counter", "Time the finished outages lasted, by cause.");
    for (std::size_t i = 0; i < hosts.size(); ++i)
        for (const auto& [cause, millis] : hosts[i]->outageMillisByCause())
            out.sample(kOutageSeconds, out.labels(i) + ",cause=\"" + escapeLabelValue(cause) + '"',
                       microsAsSeconds(millis * 1000));
    return out.take();
}

} // namespace metrics
