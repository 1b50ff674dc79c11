#pragma once

// Reading echo requests off the wire and forging the datagrams sent back:
// proper and deliberately broken echo replies, ICMP errors, IPv4 headers.
// Forge6.h has what differs for IPv6.

#include "Address.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace responder {

using Bytes = std::vector<std::uint8_t>;

// An echo request as received on a raw ICMP or ICMPv6 socket. The spans
// point into the receive buffer and are valid as long as it is.
struct EchoRequest {
    Address source;
    Address destination;
    std::uint16_t id = 0;
    std::uint16_t seq = 0;
    std::span<const std::uint8_t> ipHeader; // IPv4 as received, options included; IPv6 as rebuilt
    std::span<const std::uint8_t> icmp;     // the whole ICMP or ICMPv6 message
};

enum class RequestCheck {
    Ok,
    NotIp,
    BadHeaderLength,
    BadTotalLength,
    NotIcmp,
    TooShort,
    NotEchoRequest,
    BadChecksum,
    BadSource,
    BadDestination,
    LinkLocal,
};

// Checks a whole IPv4 or IPv6 datagram and fills `request` if it is an echo
// request worth answering. Reads nothing beyond `packet`.
RequestCheck parseEchoRequest(std::span<const std::uint8_t> packet, EchoRequest& request);
const char* describe(RequestCheck check);

// The correct echo reply: type 0 (ICMPv6: 129), code 0, identifier, sequence
// number and data of the request, valid checksum.
Bytes echoReply(const EchoRequest& request);

// Changes to an ICMP message that leave a valid checksum. An ICMPv6 checksum
// covers the addresses as well, so ip6Datagram sets it afresh.
void bumpSeq(Bytes& icmp);
void bumpId(Bytes& icmp);
void truncateData(Bytes& icmp, std::size_t keep);
void alterData(Bytes& icmp);

// Spoils the checksum of the message inside a datagram built by ipDatagram or
// ip6Datagram.
void spoilChecksum(Bytes& datagram);

// How an error quotes the request: as it was sent, with the quoted sequence
// number or identifier one higher, or cut right after the quoted IP header,
// so that no part of the echo header is left.
enum class Quote { AsSent, WrongSeq, WrongId, HeaderOnly };

// Changes an error message whose quoted echo header starts at `quotedIcmp`
// as `quote` says; the checksum is the caller's to set.
void alterQuote(Bytes& icmp, std::size_t quotedIcmp, Quote quote);

// An ICMP error about `request` the way a router sends it: the request's IPv4
// header and the first 8 bytes of its ICMP message quoted after the 8-byte
// error header, changed as `quote` says. `gateway` (network byte order)
// fills a redirect.
Bytes icmpError(const EchoRequest& request, std::uint8_t type, std::uint8_t code, std::uint32_t gateway, Quote quote);

// An IPv4 datagram (no options, no fragmentation, protocol ICMP) around
// `icmp`. Addresses in network byte order. The identifier stays 0 for the
// kernel to choose.
Bytes ipDatagram(std::uint32_t source, std::uint32_t destination, std::uint8_t ttl, std::span<const std::uint8_t> icmp);

// Splits a datagram built by ipDatagram into fragments of at most `mtu`
// bytes, all carrying identifier `id`.
std::vector<Bytes> fragmentDatagram(std::span<const std::uint8_t> datagram, std::size_t mtu, std::uint16_t id);

} // namespace responder
