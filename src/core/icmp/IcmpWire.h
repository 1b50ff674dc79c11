#pragma once

// The ICMP wire format as the echo engine sees it: building echo requests and
// deciding what a received packet means for the echo being waited on.
// Plain C++ without Qt, so the responder tool and the fuzz targets share it.

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

} // namespace icmpwire
