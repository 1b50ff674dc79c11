#include "Forge6.h"

#include "IcmpWire.h"

#include <algorithm>
#include <array>

namespace responder {

namespace {

constexpr std::uint8_t kNextHeaderFragment = 44;
constexpr std::size_t kFragmentHeaderSize = 8;
constexpr std::size_t kMaxPayload6 = 65535;

void writeBe32(std::uint8_t* p, std::uint32_t v) {
    icmpwire::writeBe16(p, static_cast<std::uint16_t>(v >> 16));
    icmpwire::writeBe16(p + 2, static_cast<std::uint16_t>(v & 0xFFFF));
}

bool multicast(const std::uint8_t* address) {
    return address[0] == 0xFF;
}

bool unspecified(const std::uint8_t* address) {
    return std::all_of(address, address + 16, [](std::uint8_t b) { return b == 0; });
}

bool linkLocal(const std::uint8_t* address) {
    return address[0] == 0xFE && (address[1] & 0xC0) == 0x80;
}

// The checksum over the pseudo-header (addresses, length, next header) and
// the ICMPv6 message of `datagram`; 0 when the message's checksum is right.
std::uint16_t pseudoChecksum(std::span<const std::uint8_t> datagram) {
    const auto message = datagram.subspan(kIp6HeaderSize);
    std::array<std::uint8_t, 40> pseudo{};
    std::copy_n(datagram.begin() + 8, 32, pseudo.begin());
    writeBe32(&pseudo[32], static_cast<std::uint32_t>(message.size()));
    pseudo[39] = kNextHeaderIcmp6;
    // Both parts have even lengths, so their one's complement sums add up.
    std::uint32_t sum = static_cast<std::uint16_t>(~icmpwire::checksum(pseudo)) +
                        static_cast<std::uint16_t>(~icmpwire::checksum(message));
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

} // namespace

RequestCheck parseEcho6Request(std::span<const std::uint8_t> packet, EchoRequest& request) {
    if (packet.size() < kIp6HeaderSize || (packet[0] >> 4) != 6)
        return RequestCheck::NotIp;
    if (icmpwire::readBe16(&packet[4]) != packet.size() - kIp6HeaderSize)
        return RequestCheck::BadTotalLength;
    if (packet[6] != kNextHeaderIcmp6)
        return RequestCheck::NotIcmp;
    const auto icmp = packet.subspan(kIp6HeaderSize);
    if (icmp.size() < icmpwire::kIcmpHeaderSize)
        return RequestCheck::TooShort;
    if (icmp[0] != kEcho6Request || icmp[1] != 0)
        return RequestCheck::NotEchoRequest;
    if (pseudoChecksum(packet) != 0)
        return RequestCheck::BadChecksum;
    const std::uint8_t* source = &packet[8];
    const std::uint8_t* destination = &packet[24];
    if (multicast(source) || unspecified(source))
        return RequestCheck::BadSource;
    if (multicast(destination) || unspecified(destination))
        return RequestCheck::BadDestination;
    // An answer to a link-local address would need the interface it came in on.
    if (linkLocal(destination))
        return RequestCheck::LinkLocal;

    request.source = Address::fromV6(source);
    request.destination = Address::fromV6(destination);
    request.id = icmpwire::readBe16(&icmp[4]);
    request.seq = icmpwire::readBe16(&icmp[6]);
    request.ipHeader = packet.first(kIp6HeaderSize);
    request.icmp = icmp;
    return RequestCheck::Ok;
}

void writeIp6Header(std::uint8_t* header, const Address& source, const Address& destination, std::uint8_t hopLimit,
                    std::size_t payloadSize) {
    std::fill_n(header, kIp6HeaderSize, std::uint8_t{0});
    header[0] = 0x60; // version 6, traffic class and flow label 0
    icmpwire::writeBe16(header + 4, static_cast<std::uint16_t>(payloadSize));
    header[6] = kNextHeaderIcmp6;
    header[7] = hopLimit;
    std::copy_n(source.bytes.begin(), 16, header + 8);
    std::copy_n(destination.bytes.begin(), 16, header + 24);
}

Bytes icmp6Error(const EchoRequest& request, std::uint8_t type, std::uint8_t code, Quote quote) {
    Bytes icmp(icmpwire::kIcmpHeaderSize);
    icmp[0] = type;
    icmp[1] = code;
    if (type == kPacketTooBig)
        writeBe32(&icmp[4], kMinMtu6);
    // A parameter problem points at octet 0 of the quoted datagram: bytes 4..7 stay 0.

    const std::size_t room = kMinMtu6 - kIp6HeaderSize - icmpwire::kIcmpHeaderSize;
    icmp.insert(icmp.end(), request.ipHeader.begin(), request.ipHeader.end());
    const std::size_t quotedIcmp = icmp.size();
    const std::size_t icmpRoom = room - request.ipHeader.size();
    icmp.insert(icmp.end(), request.icmp.begin(), request.icmp.begin() + std::min(icmpRoom, request.icmp.size()));
    alterQuote(icmp, quotedIcmp, quote);
    return icmp;
}

Bytes ip6Datagram(const Address& source, const Address& destination, std::uint8_t hopLimit,
                  std::span<const std::uint8_t> icmp) {
    const std::size_t payload = std::min(icmp.size(), kMaxPayload6);
    Bytes datagram(kIp6HeaderSize);
    datagram.reserve(kIp6HeaderSize + payload);
    writeIp6Header(datagram.data(), source, destination, hopLimit, payload);
    datagram.insert(datagram.end(), icmp.begin(), icmp.begin() + static_cast<std::ptrdiff_t>(payload));
    datagram[kIp6HeaderSize + 2] = 0;
    datagram[kIp6HeaderSize + 3] = 0;
    icmpwire::writeBe16(&datagram[kIp6HeaderSize + 2], pseudoChecksum(datagram));
    return datagram;
}

bool icmp6ChecksumValid(std::span<const std::uint8_t> datagram) {
    return datagram.size() >= kIp6HeaderSize + 4 && pseudoChecksum(datagram) == 0;
}

std::vector<Bytes> fragmentDatagram6(std::span<const std::uint8_t> datagram, std::size_t mtu, std::uint32_t id) {
    std::vector<Bytes> fragments;
    if (datagram.size() < kIp6HeaderSize)
        return fragments;
    const auto payload = datagram.subspan(kIp6HeaderSize);
    // Every fragment but the last carries a multiple of 8 bytes.
    const std::size_t overhead = kIp6HeaderSize + kFragmentHeaderSize;
    const std::size_t chunk = std::max<std::size_t>(8, (std::max(mtu, overhead) - overhead) & ~std::size_t{7});
    for (std::size_t offset = 0; offset < payload.size(); offset += chunk) {
        const std::size_t size = std::min(chunk, payload.size() - offset);
        const bool last = offset + size >= payload.size();
        Bytes fragment(datagram.begin(), datagram.begin() + kIp6HeaderSize);
        fragment.resize(overhead);
        fragment.insert(fragment.end(), payload.begin() + offset, payload.begin() + offset + size);
        std::uint8_t* h = fragment.data();
        icmpwire::writeBe16(h + 4, static_cast<std::uint16_t>(kFragmentHeaderSize + size));
        h[6] = kNextHeaderFragment;
        std::uint8_t* f = h + kIp6HeaderSize;
        f[0] = kNextHeaderIcmp6;
        f[1] = 0;
        // The offset in 8-byte units sits above three flag bits: offset / 8 << 3.
        icmpwire::writeBe16(f + 2, static_cast<std::uint16_t>(offset | (last ? 0 : 1)));
        writeBe32(f + 4, id);
        fragments.push_back(std::move(fragment));
    }
    return fragments;
}

} // namespace responder
