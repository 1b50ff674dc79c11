#include "Forge.h"

#include "Forge6.h"
#include "IcmpWire.h"

#include <algorithm>
#include <cstring>

namespace responder {

namespace {

constexpr std::uint8_t kProtocolIcmp = 1;
constexpr std::size_t kIpHeaderSize = icmpwire::kMinIpHeaderSize; // the headers we build carry no options
constexpr std::size_t kMaxDatagram = 65535;
constexpr std::uint16_t kMoreFragments = 0x2000;
constexpr std::uint16_t kNextHopMtu = 576; // told with "fragmentation needed" (3/4)

std::uint32_t addressAt(const std::uint8_t* p) {
    std::uint32_t a;
    std::memcpy(&a, p, 4);
    return a;
}

void putAddress(std::uint8_t* p, std::uint32_t address) {
    std::memcpy(p, &address, 4);
}

void setIcmpChecksum(Bytes& icmp) {
    icmp[2] = 0;
    icmp[3] = 0;
    icmpwire::writeBe16(&icmp[2], icmpwire::checksum(icmp));
}

void setIpHeaderChecksum(std::uint8_t* header) {
    header[10] = 0;
    header[11] = 0;
    icmpwire::writeBe16(header + 10, icmpwire::checksum({header, kIpHeaderSize}));
}

// Nobody can be answered at, or answer from, "this host", the limited
// broadcast or a multicast group.
bool unicastAddress(std::uint32_t address) {
    std::uint8_t octets[4];
    std::memcpy(octets, &address, 4);
    return address != 0 && address != 0xFFFFFFFFu && (octets[0] < 224 || octets[0] > 239);
}

} // namespace

RequestCheck parseEchoRequest(std::span<const std::uint8_t> packet, EchoRequest& request) {
    if (!packet.empty() && (packet[0] >> 4) == 6)
        return parseEcho6Request(packet, request);
    if (packet.empty() || (packet[0] >> 4) != 4)
        return RequestCheck::NotIp;
    const std::size_t ihl = std::size_t{packet[0] & 0x0Fu} * 4;
    if (ihl < icmpwire::kMinIpHeaderSize || ihl > icmpwire::kMaxIpHeaderSize || ihl > packet.size())
        return RequestCheck::BadHeaderLength;
    // The datagram ends where its header says; the buffer may not hold less.
    const std::size_t total = icmpwire::readBe16(&packet[2]);
    if (total < ihl || total > packet.size())
        return RequestCheck::BadTotalLength;
    if (packet[9] != kProtocolIcmp)
        return RequestCheck::NotIcmp;
    const auto icmp = packet.subspan(ihl, total - ihl);
    if (icmp.size() < icmpwire::kIcmpHeaderSize)
        return RequestCheck::TooShort;
    if (icmp[0] != icmpwire::kEchoRequest || icmp[1] != 0)
        return RequestCheck::NotEchoRequest;
    if (icmpwire::checksum(icmp) != 0)
        return RequestCheck::BadChecksum;

    const std::uint32_t source = addressAt(&packet[12]);
    const std::uint32_t destination = addressAt(&packet[16]);
    if (!unicastAddress(source))
        return RequestCheck::BadSource;
    if (!unicastAddress(destination))
        return RequestCheck::BadDestination;

    request.source = Address::fromV4(source);
    request.destination = Address::fromV4(destination);
    request.id = icmpwire::readBe16(&icmp[4]);
    request.seq = icmpwire::readBe16(&icmp[6]);
    request.ipHeader = packet.first(ihl);
    request.icmp = icmp;
    return RequestCheck::Ok;
}

const char* describe(RequestCheck check) {
    switch (check) {
    case RequestCheck::Ok:
        return "ok";
    case RequestCheck::NotIp:
        return "neither IPv4 nor IPv6";
    case RequestCheck::BadHeaderLength:
        return "bad IPv4 header length";
    case RequestCheck::BadTotalLength:
        return "bad IPv4 total length";
    case RequestCheck::NotIcmp:
        return "not ICMP";
    case RequestCheck::TooShort:
        return "ICMP message too short";
    case RequestCheck::NotEchoRequest:
        return "not an echo request (type 8 or 128, code 0)";
    case RequestCheck::BadChecksum:
        return "bad ICMP checksum";
    case RequestCheck::BadSource:
        return "source is not a unicast address";
    case RequestCheck::BadDestination:
        return "destination is not a unicast address";
    case RequestCheck::LinkLocal:
        return "link-local destination (not answered)";
    }
    return "?";
}

Bytes echoReply(const EchoRequest& request) {
    Bytes icmp(request.icmp.begin(), request.icmp.end());
    icmp[0] = request.destination.isV6() ? kEcho6Reply : icmpwire::kEchoReply;
    icmp[1] = 0;
    setIcmpChecksum(icmp);
    return icmp;
}

void bumpSeq(Bytes& icmp) {
    icmpwire::writeBe16(&icmp[6], static_cast<std::uint16_t>(icmpwire::readBe16(&icmp[6]) + 1));
    setIcmpChecksum(icmp);
}

void bumpId(Bytes& icmp) {
    icmpwire::writeBe16(&icmp[4], static_cast<std::uint16_t>(icmpwire::readBe16(&icmp[4]) + 1));
    setIcmpChecksum(icmp);
}

void spoilChecksum(Bytes& datagram) {
    const std::size_t header = (datagram[0] >> 4) == 6 ? kIp6HeaderSize : kIpHeaderSize;
    std::uint8_t* sum = &datagram[header + 2];
    icmpwire::writeBe16(sum, icmpwire::readBe16(sum) ^ 0x5555);
}

void truncateData(Bytes& icmp, std::size_t keep) {
    icmp.resize(std::min(icmp.size(), icmpwire::kIcmpHeaderSize + keep));
    setIcmpChecksum(icmp);
}

void alterData(Bytes& icmp) {
    if (icmp.size() > icmpwire::kIcmpHeaderSize)
        ++icmp[icmpwire::kIcmpHeaderSize];
    else
        icmp.push_back(0);
    setIcmpChecksum(icmp);
}

void alterQuote(Bytes& icmp, std::size_t quotedIcmp, Quote quote) {
    if (quote == Quote::HeaderOnly) {
        icmp.resize(quotedIcmp);
        return;
    }
    if (quote != Quote::WrongSeq && quote != Quote::WrongId)
        return;
    std::uint8_t* field = &icmp[quotedIcmp + (quote == Quote::WrongSeq ? 6 : 4)];
    icmpwire::writeBe16(field, static_cast<std::uint16_t>(icmpwire::readBe16(field) + 1));
}

Bytes icmpError(const EchoRequest& request, std::uint8_t type, std::uint8_t code, std::uint32_t gateway, Quote quote) {
    Bytes icmp(icmpwire::kIcmpHeaderSize);
    icmp[0] = type;
    icmp[1] = code;
    if (type == icmpwire::kRedirect)
        putAddress(&icmp[4], gateway);
    else if (type == icmpwire::kDestUnreachable && code == 4)
        icmpwire::writeBe16(&icmp[6], kNextHopMtu);
    // A parameter problem points at octet 0 of the quoted header: byte 4 stays 0.

    icmp.insert(icmp.end(), request.ipHeader.begin(), request.ipHeader.end());
    const std::size_t quotedIcmp = icmp.size();
    icmp.insert(icmp.end(), request.icmp.begin(), request.icmp.begin() + icmpwire::kIcmpHeaderSize);
    alterQuote(icmp, quotedIcmp, quote);
    setIcmpChecksum(icmp);
    return icmp;
}

Bytes ipDatagram(std::uint32_t source, std::uint32_t destination, std::uint8_t ttl,
                 std::span<const std::uint8_t> icmp) {
    // Requests are at most 65535 bytes with a header of at least 20, so their
    // answers fit; clip anyway rather than write a wrong length.
    const std::size_t payload = std::min(icmp.size(), kMaxDatagram - kIpHeaderSize);
    Bytes datagram(kIpHeaderSize + payload);
    std::uint8_t* h = datagram.data();
    h[0] = 0x45; // version 4, header length 5 words
    h[1] = 0;    // TOS
    icmpwire::writeBe16(h + 2, static_cast<std::uint16_t>(datagram.size()));
    // h[4..5] identifier 0: the kernel picks one. h[6..7] no flags, offset 0.
    h[8] = ttl;
    h[9] = kProtocolIcmp;
    putAddress(h + 12, source);
    putAddress(h + 16, destination);
    setIpHeaderChecksum(h);
    std::copy_n(icmp.begin(), payload, datagram.begin() + kIpHeaderSize);
    return datagram;
}

std::vector<Bytes> fragmentDatagram(std::span<const std::uint8_t> datagram, std::size_t mtu, std::uint16_t id) {
    std::vector<Bytes> fragments;
    if (datagram.size() < kIpHeaderSize)
        return fragments;
    const auto header = datagram.first(kIpHeaderSize);
    const auto payload = datagram.subspan(kIpHeaderSize);
    // Every fragment but the last carries a multiple of 8 bytes; IPv4 needs
    // at least 68 bytes of MTU, so there is always room for 8.
    const std::size_t chunk =
        std::max<std::size_t>(8, (std::max(mtu, kIpHeaderSize) - kIpHeaderSize) & ~std::size_t{7});
    for (std::size_t offset = 0; offset < payload.size(); offset += chunk) {
        const std::size_t size = std::min(chunk, payload.size() - offset);
        const bool last = offset + size >= payload.size();
        Bytes fragment(header.begin(), header.end());
        fragment.insert(fragment.end(), payload.begin() + offset, payload.begin() + offset + size);
        std::uint8_t* h = fragment.data();
        icmpwire::writeBe16(h + 2, static_cast<std::uint16_t>(fragment.size()));
        icmpwire::writeBe16(h + 4, id);
        icmpwire::writeBe16(h + 6, static_cast<std::uint16_t>((last ? 0 : kMoreFragments) | (offset / 8)));
        setIpHeaderChecksum(h);
        fragments.push_back(std::move(fragment));
    }
    return fragments;
}

} // namespace responder
