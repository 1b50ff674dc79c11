#include "Exposition.h"

#include <iterator>

namespace metrics {

namespace {

constexpr char kRoundTrip[] = "linkvigil_round_trip_seconds";

// The families in the order they are written.
enum Family {
    Requests,
    Replies,
    Losses,
    LossesByStatus,
    RoundTrip,
    Reliability,
    Up,
    Outages,
    OutageSeconds,
    // Written only when some host's path is traced.
    HopRequests,
    HopReplies,
    HopRoundTrip,
    PathHops,
};

struct FamilyText {
    const char* name;
    const char* type;
    const char* help;
};

constexpr FamilyText kFamilies[] = {
    {"linkvigil_echo_requests_total", "counter", "Echo requests sent."},
    {"linkvigil_echo_replies_total", "counter", "Echo replies received."},
    {"linkvigil_echo_losses_total", "counter", "Echo requests that got no reply."},
    {"linkvigil_echo_losses_by_status_total", "counter",
     "Echo requests that got no reply, by the status they ended with."},
    {kRoundTrip, "histogram", "Round-trip times of the echo replies."},
    {"linkvigil_reliability_ratio", "gauge", "The reliability index, 0 to 1: falls fast on a loss, recovers slowly."},
    {"linkvigil_connection_up", "gauge", "1 while the alerts count the connection as up, else 0."},
    {"linkvigil_outages_total", "counter", "Finished outages, by the cause they were put down to."},
    {"linkvigil_outage_seconds_total", "counter", "Time the finished outages lasted, by cause."},
    {"linkvigil_hop_requests_total", "counter", "Trace probes sent with the hop's limit."},
    {"linkvigil_hop_replies_total", "counter", "Trace probes answered at the hop, by the address that answered."},
    {"linkvigil_hop_round_trip_seconds", "histogram", "Round-trip times of the answers at the hop, by address."},
    {"linkvigil_path_hops", "gauge", "Hops to the host, as it last answered a trace."},
};
constexpr int kFamilyCount = static_cast<int>(std::size(kFamilies));

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
void appendLabelValue(QByteArray& out, const QString& value) {
    for (const char c : value.toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

QByteArray labelsOf(const HostMetrics& host) {
    QByteArray labels("host=\"");
    appendLabelValue(labels, host.host());
    labels += "\",address=\"";
    appendLabelValue(labels, host.address());
    labels += '"';
    return labels;
}

// NAME{LABELS[,EXTRA]} VALUE
void sample(QByteArray& out, const char* name, const char* suffix, const QByteArray& labels, const QByteArray& extra,
            const QByteArray& value) {
    out.append(name).append(suffix).append('{').append(labels).append(extra).append("} ").append(value).append('\n');
}

QByteArray labelled(const char* label, const QString& value) {
    QByteArray text(",");
    text.append(label).append("=\"");
    appendLabelValue(text, value);
    return text.append('"');
}

// The histogram's `le` labels, the same for every host.
const std::vector<QByteArray>& bucketLabels() {
    static const std::vector<QByteArray> labels = [] {
        std::vector<QByteArray> all;
        for (std::size_t b = 0; b < kBucketCount; ++b)
            all.push_back(",le=\"" +
                          (b < kBucketBoundsMicros.size()
                               ? microsAsSeconds(static_cast<std::uint64_t>(kBucketBoundsMicros[b]))
                               : QByteArray("+Inf")) +
                          '"');
        return all;
    }();
    return labels;
}

QByteArray hopLabels(const HostMetrics& host, std::size_t hop, const QString* address) {
    QByteArray labels("host=\"");
    appendLabelValue(labels, host.host());
    labels += "\",hop=\"" + QByteArray::number(static_cast<qulonglong>(hop + 1)) + '"';
    if (address)
        labels += labelled("address", *address);
    return labels;
}

// One traced host's series of one of the path's families.
void hopSeries(QByteArray& out, int family, const HostMetrics& host) {
    const HopMetrics* hops = host.hops();
    if (!hops)
        return;
    const char* name = kFamilies[family].name;
    if (family == PathHops) {
        QByteArray labels("host=\"");
        appendLabelValue(labels, host.host());
        labels += '"';
        sample(out, name, "", labels, {}, QByteArray::number(hops->pathHops()));
        return;
    }
    for (std::size_t h = 0; h < hops->hops().size(); ++h) {
        const HopMetrics::Hop& hop = hops->hops()[h];
        if (family == HopRequests) {
            sample(out, name, "", hopLabels(host, h, nullptr), {}, count(hop.requests));
            continue;
        }
        for (const HopMetrics::Responder& r : hop.responders) {
            const QByteArray labels = hopLabels(host, h, &r.address);
            if (family == HopReplies) {
                sample(out, name, "", labels, {}, count(r.replies));
                continue;
            }
            std::uint64_t cumulative = 0;
            for (std::size_t b = 0; b < kBucketCount; ++b) {
                cumulative += r.buckets[b];
                sample(out, name, "_bucket", labels, bucketLabels()[b], count(cumulative));
            }
            sample(out, name, "_sum", labels, {}, microsAsSeconds(r.sumMicros));
            sample(out, name, "_count", labels, {}, count(cumulative));
        }
    }
}

// One host's series of one family.
void hostSeries(QByteArray& out, int family, const HostMetrics& host) {
    if (family >= HopRequests) {
        hopSeries(out, family, host);
        return;
    }
    const char* name = kFamilies[family].name;
    const QByteArray labels = labelsOf(host);
    switch (family) {
    case Requests:
        sample(out, name, "", labels, {}, count(host.requests()));
        break;
    case Replies:
        sample(out, name, "", labels, {}, count(host.replies()));
        break;
    case Losses:
        sample(out, name, "", labels, {}, count(host.losses()));
        break;
    case LossesByStatus:
        for (const auto& [status, losses] : host.lossesByStatus().asKeyValueRange())
            sample(out, name, "", labels, labelled("status", status), count(losses));
        break;
    case RoundTrip: {
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b < kBucketCount; ++b) {
            cumulative += host.buckets()[b];
            sample(out, name, "_bucket", labels, bucketLabels()[b], count(cumulative));
        }
        sample(out, name, "_sum", labels, {}, microsAsSeconds(host.roundTripSumMicros()));
        sample(out, name, "_count", labels, {}, count(cumulative));
        break;
    }
    case Reliability:
        sample(out, name, "", labels, {}, QByteArray::number(host.index(), 'g', 15));
        break;
    case Up:
        sample(out, name, "", labels, {}, QByteArray(host.up() ? "1" : "0"));
        break;
    case Outages:
        for (const auto& [cause, outages] : host.outagesByCause().asKeyValueRange())
            sample(out, name, "", labels, labelled("cause", cause), count(outages));
        break;
    case OutageSeconds:
        for (const auto& [cause, millis] : host.outageMillisByCause().asKeyValueRange())
            sample(out, name, "", labels, labelled("cause", cause), microsAsSeconds(millis * 1000));
        break;
    }
}

} // namespace

ExpositionStream::ExpositionStream(const std::vector<const HostMetrics*>& hosts) {
    m_hosts.reserve(hosts.size());
    for (const HostMetrics* host : hosts) {
        m_hosts.push_back(*host);
        m_traced = m_traced || host->hops();
    }
    // Written once to be measured, a piece at a time.
    Cursor measure;
    QByteArray piece;
    bool more = true;
    while (more) {
        piece.clear();
        more = write(measure, piece, 64 * 1024);
        m_size += piece.size();
    }
}

QByteArray ExpositionStream::next(qsizetype bytes) {
    QByteArray piece;
    piece.reserve(bytes + 4096);
    write(m_cursor, piece, bytes);
    return piece;
}

// Appends from `at` until `out` holds `bytes` or the text ends; returns
// whether some is left.
bool ExpositionStream::write(Cursor& at, QByteArray& out, qsizetype bytes) const {
    const int families = m_traced ? kFamilyCount : HopRequests;
    while (at.family < families) {
        if (!at.headed) {
            const FamilyText& f = kFamilies[at.family];
            out.append("# HELP ").append(f.name).append(' ').append(f.help);
            out.append("\n# TYPE ").append(f.name).append(' ').append(f.type).append('\n');
            at.headed = true;
        }
        while (at.host < m_hosts.size()) {
            if (out.size() >= bytes)
                return true;
            hostSeries(out, at.family, m_hosts[at.host++]);
        }
        ++at.family;
        at.host = 0;
        at.headed = false;
    }
    return false;
}

QByteArray exposition(const std::vector<const HostMetrics*>& hosts) {
    ExpositionStream stream(hosts);
    QByteArray text;
    text.reserve(stream.size());
    for (QByteArray piece = stream.next(); !piece.isEmpty(); piece = stream.next())
        text += piece;
    return text;
}

} // namespace metrics
