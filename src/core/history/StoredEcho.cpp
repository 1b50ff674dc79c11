#include "history/StoredEcho.h"

#include <algorithm>

bool StoredEcho::fromSample(const EchoSample& sample, StoredEcho& out) {
    if (!sample.sent.wall.isValid())
        return false;
    out.sentMs = sample.sent.wall.toMSecsSinceEpoch();
    out.offsetS = sample.sent.wall.offsetFromUtc();
    out.outcome = sample.outcome;
    out.status = sample.status;
    // Round trips beyond half an hour are no round trips; kept to the store's range.
    out.rttUs = sample.roundTripMicros < 0 ? -1 : std::min<std::int64_t>(sample.roundTripMicros, 2'000'000'000);
    out.ttl = sample.ttl < 0 ? -1 : std::min(sample.ttl, 255);
    out.from = sample.from;
    return true;
}

EchoSample StoredEcho::toSample(const QString& host, const IpAddress& address) const {
    EchoSample sample;
    sample.sent.wall = QDateTime::fromMSecsSinceEpoch(sentMs, Qt::OffsetFromUTC, offsetS);
    sample.host = host;
    sample.address = address;
    sample.outcome = outcome;
    sample.status = status;
    sample.roundTripMicros = rttUs;
    sample.ttl = ttl;
    sample.from = from;
    return sample;
}
