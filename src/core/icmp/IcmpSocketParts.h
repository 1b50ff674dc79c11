#pragma once

// The pieces both echo transports build on: opening the ICMP sockets, their
// per-request options, reading datagrams and queued errors with their
// ancillary data, the round trip from the kernel's receive stamp, and the
// result of an echo in the form callers expect. Each family has a socket
// of its own: ICMP for IPv4, ICMPv6 for IPv6.

#include "EchoTransport.h"
#include "IcmpWire.h"
#include "IpAddress.h"
#include "TICMP.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <time.h>

namespace icmpsocket {

enum class Kind { Ping, Raw };
using Family = IpAddress::Family;

struct Opened {
    int fd = -1;
    Kind kind = Kind::Ping;
    std::uint16_t id = 0; // the echo identifier the socket's requests carry
    Family family = Family::V4;
};

// Opens a socket of the wanted kind (Auto: ping first, raw second) for one
// family, with receive stamps on. Returns fd -1 with errno's value in
// *error when none can be opened.
Opened open(SocketKind kind, Family family, int* error);

// TTL (hop limit) and Don't Fragment for the next request. A socket
// `shared` by echoes in flight at once keeps hearing "fragmentation needed"
// about an earlier one sent with Don't Fragment after switching it off for
// the next.
void configure(const Opened& socket, std::uint8_t ttl, std::uint8_t flags, bool shared = false);

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
    IpAddress from;
    int ttl = -1; // IP_TTL, or the hop limit for IPv6
    bool stamped = false;
    timespec stamp{};
    bool truncated = false; // longer than the buffer: not ours
};

// Reads one datagram without waiting into `buffer`. False when there was
// none or the read failed (errno tells which).
bool receive(int fd, std::span<std::uint8_t> buffer, Received& packet);

// An entry of a ping socket's error queue that an ICMP or ICMPv6 message
// caused.
struct QueuedError {
    IpAddress target;   // where the quoted request was sent
    IpAddress offender; // who sent the error
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

// The echo in flight, of either family.
struct Expectation {
    IpAddress target;
    std::uint16_t id = 0;
    std::uint16_t seq = 0;
    std::span<const std::uint8_t> data;
};

// What a datagram or queued error means for that echo; type and code are
// ICMPv6's when the target is IPv6.
struct Outcome {
    icmpwire::Verdict verdict = icmpwire::Verdict::Ignore;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    IpAddress from; // None when the kernel did not say
    int ttl = -1;   // of the received datagram
    std::size_t dataSize = 0;
    bool icmp6 = false;
};
Outcome parse(Kind kind, const Received& packet, const Expectation& expect);
Outcome parse(const QueuedError& error, const Expectation& expect);

// The sequence number a message read from a socket is about: its own for an
// echo reply, the quoted request's for an error. Only a key to find the
// echo by; parse() checks the rest.
std::optional<std::uint16_t> sequenceOf(Kind kind, Family family, std::span<const std::uint8_t> bytes);

// The round trip of the request sent at `sent`, ending now or, where the
// kernel stamped `packet` and the clocks agree, at that stamp.
std::int64_t roundTripNanos(const SendTime& sent, const Received& packet);

// The request's bytes, with the identifier the socket's requests carry.
std::vector<std::uint8_t> buildRequest(const Opened& socket, std::uint16_t seq, std::span<const std::uint8_t> data);
// Sends without waiting; false with errno set when the kernel refused.
bool sendTo(int fd, std::span<const std::uint8_t> packet, const IpAddress& target);

// The result of each way an echo can end.
void fillReply(const Outcome& outcome, std::int64_t nanos, EchoResult& result);
void fillError(const Outcome& outcome, std::int64_t nanos, EchoResult& result);
void fillSendError(int error, EchoResult& result);
void fillTimeout(EchoResult& result);
// An echo to a family whose socket could not be opened.
void fillNoSocket(EchoResult& result);

} // namespace icmpsocket
