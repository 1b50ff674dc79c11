#pragma once

#include "clock/Stopwatch.h"
#include "icmp/IpAddress.h"

#include <QString>

#include <cstdint>

// One finished echo as a value, made once when the echo ends and handed on
// to every part that keeps something of it: the chart, the reliability
// index and its alerts, the connection log, the outage ledger, the metrics
// and the history. None of them reads the echo requester back.
struct EchoSample {
    enum class Outcome : std::uint8_t {
        Answered = 0,
        TimedOut = 1, // no answer within the time-out
        Error = 2,    // an ICMP error, or a local one; see `status`
    };

    Moment sent;       // when it left: wall clock with its UTC offset, monotonic and boot time
    Moment done;       // when its outcome came
    QString host;      // as typed
    IpAddress address; // where it was sent
    Outcome outcome = Outcome::TimedOut;
    // The status number: 0 answered, 11010 timed out, 110xx for the ICMP
    // and local errors (TICMP::StatusText gives the text).
    std::uint32_t status = 11010;
    // The round trip in microseconds, from the kernel's receive stamp where
    // there is one; -1 without a reply.
    std::int64_t roundTripMicros = -1;
    int ttl = -1;     // the reply's TTL (hop limit); -1 without a reply
    IpAddress from{}; // who answered, or sent the error; None after a time-out

    bool answered() const { return outcome == Outcome::Answered; }
    // Whole milliseconds, truncated, as the reply record and the chart have them.
    std::uint32_t roundTripMs() const {
        return roundTripMicros < 0 ? 0 : static_cast<std::uint32_t>(roundTripMicros / 1000);
    }
};
