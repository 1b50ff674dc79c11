#pragma once

// The ICMP wire format as the echo engine sees it: building echo requests and
// deciding what a received packet means for the echo being waited on.
// Plain C++ without Qt, so the responder tool and the fuzz targets share it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace icmpwire {

inline constexpr std::uint8_t kEchoReply = 0;
inline constexpr std::uint8_t kDestUnreachable = 3;
inline constexpr std::uint8_t kSourceQuench = 4;
inline constexpr std::uint8_t kRedirect = 5;
inline constexpr std::uint8_t kEchoRequest = 8;
inline constexpr std::uint8_t kTimeExceeded = 11;
inline constexpr std::uint8_t kParameterProblem = 12;

inline constexpr std::size_t kIcmpHeaderSize = 8;
inline constexpr std::size_t kMinIpHeaderSize = 20;
inline constexpr std::size_t kMaxIpHeaderSize = 60;
// The largest echo payload an IPv4 datagram can carry: 65535 - 20 - 8.
inline constexpr std::size_t kMaxPayload = 65507;

// RFC 1071 Internet checksum; an odd trailing byte is padded with zero.
std::uint16_t checksum(std::span<const std::uint8_t> bytes);

// An ICMP echo request (type 8, code 0) with a valid checksum. All 16-bit
// fields are given in host order and written in network order.
std::vector<std::uint8_t> buildEchoRequest(std::uint16_t id, std::uint16_t seq, std::span<const std::uint8_t> data);

std::uint16_t readBe16(const std::uint8_t* p);
std::uint32_t readBe32(const std::uint8_t* p);
void writeBe16(std::uint8_t* p, std::uint16_t v);

// What the echo in flight looks like, to recognise its reply or an error about it.
struct Expectation {
    std::uint32_t target = 0; // IPv4 address, network byte order
    std::uint16_t id = 0;
    std::uint16_t seq = 0;
    std::span<const std::uint8_t> data;
};

enum class Verdict {
    Ignore,   // not about our echo: keep waiting
    Reply,    // the matching echo reply
    IcmpError // an ICMP error that quotes our echo request
};

struct Outcome {
    Verdict verdict = Verdict::Ignore;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint32_t from = 0; // sender of the reply or error, network byte order
    std::uint8_t ttl = 0;   // TTL of the received datagram (raw sockets only)
    std::size_t dataSize = 0;
};

// A packet from a raw ICMP socket: the IPv4 header, then the ICMP message.
// Checks every length, the checksum, the source, identifier, sequence number
// and data of a reply, and the quoted request inside an error.
Outcome parseRawPacket(std::span<const std::uint8_t> packet, const Expectation& expect);

// A message from a ping socket: the ICMP message without IP header, the
// source taken from the socket address. The kernel verified the checksum.
Outcome parsePingMessage(std::span<const std::uint8_t> message, std::uint32_t from, const Expectation& expect);

// An entry of a ping socket's error queue: ICMP type and code from the
// extended error, `quoted` the request as the kernel gives it back (ICMP
// header first). Only errors about our sequence number count.
Outcome parsePingError(std::uint8_t type, std::uint8_t code, std::uint32_t offender,
                       std::span<const std::uint8_t> quoted, const Expectation& expect);

// IP status codes (base 11000) for ICMP errors and for local send errors.
std::uint32_t statusForIcmp(std::uint8_t type, std::uint8_t code);
std::uint32_t statusForErrno(int error);

// Redirects never end an echo: the answer may still come.
bool isErrorType(std::uint8_t type);

// ICMPv6 (RFC 4443) as the same engine sees it. The kernel computes and
// verifies ICMPv6 checksums on both socket kinds, and a raw ICMPv6 socket
// hands over the message without its IPv6 header, the sender and hop
// limit coming with the socket address and ancillary data.
namespace v6 {

inline constexpr std::uint8_t kDestUnreachable = 1;
inline constexpr std::uint8_t kPacketTooBig = 2;
inline constexpr std::uint8_t kTimeExceeded = 3;
inline constexpr std::uint8_t kParameterProblem = 4;
inline constexpr std::uint8_t kEchoRequest = 128;
inline constexpr std::uint8_t kEchoReply = 129;
inline constexpr std::uint8_t kRedirect = 137;

inline constexpr std::size_t kIpHeaderSize = 40;
inline constexpr std::uint8_t kNextHeaderIcmp = 58;
// The largest echo payload: the payload length field (65535) covers the
// ICMPv6 header too.
inline constexpr std::size_t kMaxPayload = 65527;

// An IPv6 address as it stands in a header.
using Address = std::array<std::uint8_t, 16>;

// An ICMPv6 echo request (type 128, code 0) with the checksum left 0 for
// the kernel to fill in.
std::vector<std::uint8_t> buildEchoRequest(std::uint16_t id, std::uint16_t seq, std::span<const std::uint8_t> data);

struct Expectation {
    Address target{};
    std::uint16_t id = 0;
    std::uint16_t seq = 0;
    std::span<const std::uint8_t> data;
};

struct Outcome {
    Verdict verdict = Verdict::Ignore;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    Address from{}; // sender of the reply or error
    std::size_t dataSize = 0;
};

// A message from a raw ICMPv6 socket, sent by `from`: our echo reply
// (source, identifier, sequence number and data checked), or an error
// quoting our request's IPv6 header and echo header.
Outcome parseRawMessage(std::span<const std::uint8_t> message, const Address& from, const Expectation& expect);

// A message from a ping socket: as above, but the kernel chose the
// identifier and errors come through the error queue instead.
Outcome parsePingMessage(std::span<const std::uint8_t> message, const Address& from, const Expectation& expect);

// An entry of a ping socket's error queue (SO_EE_ORIGIN_ICMP6): ICMPv6 type
// and code, `quoted` our request from its ICMPv6 header on.
Outcome parsePingError(std::uint8_t type, std::uint8_t code, const Address& offender,
                       std::span<const std::uint8_t> quoted, const Expectation& expect);

// IP status codes for ICMPv6 errors, in the same table as IPv4's.
std::uint32_t statusForIcmp(std::uint8_t type, std::uint8_t code);

// Destination unreachable, packet too big, time exceeded, parameter
// problem; never redirects or neighbour discovery.
bool isErrorType(std::uint8_t type);

} // namespace v6

} // namespace icmpwire
