#pragma once

// The pieces both echo transports build on: opening the ICMP socket, its
// per-request options, reading datagrams and queued errors with their
// ancillary data, the round trip from the kernel's receive stamp, and the
// result of an echo in the form callers expect.

#include "EchoTransport.h"
#include "IcmpWire.h"
#include "TICMP.h"

#include <chrono>
#include <cstdint>
#include <span>

#include <time.h>

namespace icmpsocket {

enum class Kind { Ping, Raw };

struct Opened {
    int fd = -1;
    Kind kind = Kind::Ping;
    std::uint16_t id = 0; // the echo identifier the socket's requests carry
};

// Opens a socket of the wanted kind (Auto: ping first, raw second), with
// receive stamps on. Returns fd -1 with errno's value in *error when none
// can be opened.
Opened open(SocketKind kind, int* error);

// TTL and Don't Fragment for the next request. A socket `shared` by echoes
// in flight at once keeps hearing "fragmentation needed" about an earlier
// one sent with Don't Fragment after switching it off for the next.
void configure(int fd, std::uint8_t ttl, std::uint8_t flags, bool shared = false);

// When a request left: both clocks, to measure the round trip from the
// kernel's receive stamp or, after a clock step, monotonically.
struct SendTime {
    timespec realtime{};
    std::chrono::steady_clock::time_point monotonic;
    static SendTime now();
};

// One datagram as read from the socket, with its ancillary data.
struct Received {
    std::span<const std::uint8_t> bytes;
    std::uint32_t from = 0; // network byte order
    int ttl = -1;
    bool stamped = false;
    timespec stamp{};
    bool truncated = false; // longer than the buffer: not ours
};

// Reads one datagram without waiting into `buffer`. False when there was
// none or the read failed (errno tells which).
bool receive(int fd, std::span<std::uint8_t> buffer, Received& packet);

// An entry of a ping socket's error queue that an ICMP message caused.
struct QueuedError {
    std::uint32_t target = 0;   // where the quoted request was sent
    std::uint32_t offender = 0; // who sent the error
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::span<const std::uint8_t> quoted; // the request, ICMP header first
};

enum class QueueRead {
    Empty, // nothing queued (or the read failed)
    Other, // an entry, but not from an ICMP message
    Icmp
};
QueueRead readQueuedError(int fd, std::span<std::uint8_t> buffer, QueuedError& error);

// What a datagram or queued error means for the echo `expect` describes.
icmpwire::Outcome parse(Kind kind, const Received& packet, const icmpwire::Expectation& expect);
icmpwire::Outcome parse(const QueuedError& error, const icmpwire::Expectation& expect);

// The round trip of the request sent at `sent`, ending now or, where the
// kernel stamped `packet` and the clocks agree, at that stamp.
std::int64_t roundTripNanos(const SendTime& sent, const Received& packet);

// The result of each way an echo can end.
void fillReply(const icmpwire::Outcome& outcome, const Received& packet, Kind kind, std::int64_t nanos,
               EchoResult& result);
void fillError(const icmpwire::Outcome& outcome, std::int64_t nanos, EchoResult& result);
void fillSendError(int error, EchoResult& result);
void fillTimeout(EchoResult& result);

} // namespace icmpsocket
