#pragma once

// What IPv6 needs beyond Forge.h: ICMPv6 echo requests, ICMPv6 errors, and
// IPv6 datagrams with the checksum over the pseudo-header.

#include "Forge.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace responder {

inline constexpr std::uint8_t kEcho6Request = 128;
inline constexpr std::uint8_t kEcho6Reply = 129;
inline constexpr std::uint8_t kPacketTooBig = 2;
inline constexpr std::uint8_t kNextHeaderIcmp6 = 58;
inline constexpr std::size_t kIp6HeaderSize = 40;
// Every IPv6 link carries this much, and no ICMPv6 error may be larger.
inline constexpr std::size_t kMinMtu6 = 1280;

// A raw ICMPv6 socket delivers the message alone; Sockets6 puts an IPv6
// header in front of it, rebuilt from what the kernel tells about the
// datagram. This checks such a datagram like parseEchoRequest an IPv4 one.
RequestCheck parseEcho6Request(std::span<const std::uint8_t> packet, EchoRequest& request);

// The fixed IPv6 header of a datagram without extension headers.
void writeIp6Header(std::uint8_t* header, const Address& source, const Address& destination, std::uint8_t hopLimit,
                    std::size_t payloadSize);

// An ICMPv6 error about `request` the way a router sends it: as much of the
// request's datagram as keeps the error within 1280 bytes. A "packet too
// big" tells an MTU of 1280. The quote is changed as `quote` says
// (HeaderOnly: the IPv6 header alone). Its checksum is left to ip6Datagram.
Bytes icmp6Error(const EchoRequest& request, std::uint8_t type, std::uint8_t code, Quote quote);

// An IPv6 datagram (no extension headers, next header ICMPv6) around `icmp`,
// with the ICMPv6 checksum set.
Bytes ip6Datagram(const Address& source, const Address& destination, std::uint8_t hopLimit,
                  std::span<const std::uint8_t> icmp);

// Whether the ICMPv6 checksum of a datagram built by ip6Datagram is right.
bool icmp6ChecksumValid(std::span<const std::uint8_t> datagram);

// Splits a datagram built by ip6Datagram into fragments of at most `mtu`
// bytes, each with a fragment header carrying identification `id`.
std::vector<Bytes> fragmentDatagram6(std::span<const std::uint8_t> datagram, std::size_t mtu, std::uint32_t id);

} // namespace responder
