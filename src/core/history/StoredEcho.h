#pragma once

#include "echo/EchoSample.h"

#include <cstdint>

// One echo as the history keeps it: the sent time in UTC milliseconds with
// the UTC offset of the clock it was sent by, and what came back. The host
// and its address belong to the series the echo is filed under.
struct StoredEcho {
    std::int64_t sentMs = 0;
    int offsetS = 0;
    EchoSample::Outcome outcome = EchoSample::Outcome::TimedOut;
    std::uint32_t status = 11010;
    std::int64_t rttUs = -1; // -1 without a reply
    int ttl = -1;            // -1 without a reply
    IpAddress from{};

    bool answered() const { return outcome == EchoSample::Outcome::Answered; }
    // The values of a finished echo; false when it has no valid sent time.
    static bool fromSample(const EchoSample& sample, StoredEcho& out);
    // The echo back as a sample: only `sent.wall` of its moments is known.
    EchoSample toSample(const QString& host, const IpAddress& address) const;

    bool operator==(const StoredEcho&) const = default;
};
