#include "IcmpWire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace icmpwire {

std::uint16_t readBe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t readBe32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void writeBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v & 0xFF);
}

std::uint16_t checksum(std::span<const std::uint8_t> bytes) {
    std::uint64_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += readBe16(bytes.data() + i);
    if (i < bytes.size())
        sum += std::uint32_t{bytes[i]} << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

bool isErrorType(std::uint8_t type) {
    return type == kDestUnreachable || type == kSourceQuench || type == kTimeExceeded || type == kParameterProblem;
}

namespace {

// Network-order address from four bytes as they stand in a header.
std::uint32_t addressAt(const std::uint8_t* p) {
    std::uint32_t a;
    std::memcpy(&a, p, 4);
    return a;
}

// An echo message of `type` with its checksum left 0.
std::vector<std::uint8_t> echoMessage(std::uint8_t type, std::uint16_t id, std::uint16_t seq,
                                      std::span<const std::uint8_t> data) {
    // Header, then data appended: GCC 12 at -O3 sees a copy to an offset
    // into a fresh vector as a possible overflow, and warns.
    std::vector<std::uint8_t> packet(kIcmpHeaderSize, 0);
    packet.reserve(kIcmpHeaderSize + data.size());
    packet[0] = type;
    writeBe16(&packet[4], id);
    writeBe16(&packet[6], seq);
    packet.insert(packet.end(), data.begin(), data.end());
    return packet;
}

// The echo reply (of `replyType`, ICMP's or ICMPv6's) to the request
// `expect` describes; the identifier is checked where we chose it.
template <typename Expect>
bool isOurReply(std::uint8_t replyType, std::span<const std::uint8_t> icmp, const Expect& expect, bool checkId) {
    if (icmp.size() < kIcmpHeaderSize || icmp[0] != replyType || icmp[1] != 0)
        return false;
    if (checkId && readBe16(&icmp[4]) != expect.id)
        return false;
    if (readBe16(&icmp[6]) != expect.seq)
        return false;
    return std::ranges::equal(icmp.subspan(kIcmpHeaderSize), expect.data);
}

// The first 8 bytes of our request (of `requestType`) as quoted inside an error.
template <typename Expect>
bool quotesOurRequest(std::uint8_t requestType, std::span<const std::uint8_t> quoted, const Expect& expect,
                      bool checkId) {
    if (quoted.size() < kIcmpHeaderSize || quoted[0] != requestType || quoted[1] != 0)
        return false;
    if (checkId && readBe16(&quoted[4]) != expect.id)
        return false;
    return readBe16(&quoted[6]) == expect.seq;
}

// A ping socket's queued error: it counts when it is an error of its
// protocol and quotes our sequence number (the kernel chose the identifier).
template <typename Result, typename Expect, typename From>
Result queuedError(bool errorType, std::uint8_t requestType, std::uint8_t type, std::uint8_t code, const From& offender,
                   std::span<const std::uint8_t> quoted, const Expect& expect) {
    Result out;
    out.type = type;
    out.code = code;
    out.from = offender;
    if (errorType && quotesOurRequest(requestType, quoted, expect, false))
        out.verdict = Verdict::IcmpError;
    return out;
}

} // namespace

std::vector<std::uint8_t> buildEchoRequest(std::uint16_t id, std::uint16_t seq, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> packet = echoMessage(kEchoRequest, id, seq, data);
    writeBe16(&packet[2], checksum(packet));
    return packet;
}

Outcome parseRawPacket(std::span<const std::uint8_t> packet, const Expectation& expect) {
    Outcome out;
    if (packet.size() < kMinIpHeaderSize || (packet[0] >> 4) != 4)
        return out;
    const std::size_t ihl = std::size_t{packet[0] & 0x0Fu} * 4;
    if (ihl < kMinIpHeaderSize || ihl > packet.size() || packet[9] != 1)
        return out;
    auto icmp = packet.subspan(ihl);
    if (icmp.size() < kIcmpHeaderSize || checksum(icmp) != 0)
        return out;

    const std::uint32_t from = addressAt(&packet[12]);
    out.from = from;
    out.ttl = packet[8];
    out.type = icmp[0];
    out.code = icmp[1];

    if (icmp[0] == kEchoReply) {
        if (from == expect.target && isOurReply(kEchoReply, icmp, expect, true)) {
            out.verdict = Verdict::Reply;
            out.dataSize = icmp.size() - kIcmpHeaderSize;
        }
        return out;
    }
    if (!isErrorType(icmp[0]))
        return out;

    // The error quotes the offending datagram: its IPv4 header and at least
    // the first 8 bytes of our echo request.
    auto inner = icmp.subspan(kIcmpHeaderSize);
    if (inner.size() < kMinIpHeaderSize || (inner[0] >> 4) != 4)
        return out;
    const std::size_t innerIhl = std::size_t{inner[0] & 0x0Fu} * 4;
    if (innerIhl < kMinIpHeaderSize || innerIhl + kIcmpHeaderSize > inner.size())
        return out;
    if (inner[9] != 1 || addressAt(&inner[16]) != expect.target)
        return out;
    if (quotesOurRequest(kEchoRequest, inner.subspan(innerIhl), expect, true))
        out.verdict = Verdict::IcmpError;
    return out;
}

Outcome parsePingMessage(std::span<const std::uint8_t> message, std::uint32_t from, const Expectation& expect) {
    Outcome out;
    if (message.size() < kIcmpHeaderSize)
        return out;
    out.from = from;
    out.type = message[0];
    out.code = message[1];
    // The kernel rewrites the identifier of a ping socket and hands over only
    // replies carrying it, so the identifier needs no check here.
    if (from == expect.target && isOurReply(kEchoReply, message, expect, false)) {
        out.verdict = Verdict::Reply;
        out.dataSize = message.size() - kIcmpHeaderSize;
    }
    return out;
}

Outcome parsePingError(std::uint8_t type, std::uint8_t code, std::uint32_t offender,
                       std::span<const std::uint8_t> quoted, const Expectation& expect) {
    return queuedError<Outcome>(isErrorType(type), kEchoRequest, type, code, offender, quoted, expect);
}

std::uint32_t statusForIcmp(std::uint8_t type, std::uint8_t code) {
    switch (type) {
    case kDestUnreachable:
        switch (code) {
        case 0:
        case 6:
        case 9:
        case 11:
            return 11002;
        case 1:
            return 11003;
        case 2:
            return 11004;
        case 3:
            return 11005;
        case 4:
            return 11009;
        default:
            return 11003;
        }
    case kTimeExceeded:
        return code == 0 ? 11013 : 11014;
    case kParameterProblem:
        return 11015;
    case kSourceQuench:
        return 11016;
    default:
        return 11050;
    }
}

std::uint32_t statusForErrno(int error) {
    switch (error) {
    case EMSGSIZE:
        return 11009;
    case ENETUNREACH:
        return 11002;
    case EHOSTUNREACH:
        return 11003;
    case EACCES:
        return 11018;
    default:
        return 11050;
    }
}

namespace v6 {

std::vector<std::uint8_t> buildEchoRequest(std::uint16_t id, std::uint16_t seq, std::span<const std::uint8_t> data) {
    return echoMessage(kEchoRequest, id, seq, data);
}

bool isErrorType(std::uint8_t type) {
    return type == kDestUnreachable || type == kPacketTooBig || type == kTimeExceeded || type == kParameterProblem;
}

namespace {

Address addressAt(const std::uint8_t* p) {
    Address a;
    std::memcpy(a.data(), p, a.size());
    return a;
}

Outcome parseMessage(std::span<const std::uint8_t> message, const Address& from, const Expectation& expect, bool raw) {
    Outcome out;
    if (message.size() < kIcmpHeaderSize)
        return out;
    out.from = from;
    out.type = message[0];
    out.code = message[1];
    if (message[0] == kEchoReply) {
        if (from == expect.target && isOurReply(kEchoReply, message, expect, raw)) {
            out.verdict = Verdict::Reply;
            out.dataSize = message.size() - kIcmpHeaderSize;
        }
        return out;
    }
    if (!raw || !isErrorType(message[0]))
        return out;
    // The error quotes the offending packet: our IPv6 header, with the echo
    // right behind it (we send no extension headers), then the echo header.
    auto inner = message.subspan(kIcmpHeaderSize);
    if (inner.size() < kIpHeaderSize + kIcmpHeaderSize || (inner[0] >> 4) != 6)
        return out;
    if (inner[6] != kNextHeaderIcmp || addressAt(&inner[24]) != expect.target)
        return out;
    if (quotesOurRequest(kEchoRequest, inner.subspan(kIpHeaderSize), expect, true))
        out.verdict = Verdict::IcmpError;
    return out;
}

} // namespace

Outcome parseRawMessage(std::span<const std::uint8_t> message, const Address& from, const Expectation& expect) {
    return parseMessage(message, from, expect, true);
}

Outcome parsePingMessage(std::span<const std::uint8_t> message, const Address& from, const Expectation& expect) {
    return parseMessage(message, from, expect, false);
}

Outcome parsePingError(std::uint8_t type, std::uint8_t code, const Address& offender,
                       std::span<const std::uint8_t> quoted, const Expectation& expect) {
    return queuedError<Outcome>(isErrorType(type), kEchoRequest, type, code, offender, quoted, expect);
}

std::uint32_t statusForIcmp(std::uint8_t type, std::uint8_t code) {
    switch (type) {
    case kDestUnreachable:
        switch (code) {
        case 0: // no route
            return 11002;
        case 4: // port unreachable
            return 11005;
        default: // prohibited, beyond scope, address unreachable, policy
            return 11003;
        }
    case kPacketTooBig:
        return 11009;
    case kTimeExceeded:
        return code == 0 ? 11013 : 11014;
    case kParameterProblem:
        return 11015;
    default:
        return 11050;
    }
}

} // namespace v6

} // namespace icmpwire
