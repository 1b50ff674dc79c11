#pragma once

// An IPv4 or IPv6 address as the echo code passes it around. Plain C++
// without Qt, so the wire code, the responder and the fuzz targets share it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sockaddr;
struct sockaddr_storage;

struct IpAddress {
    enum class Family : std::uint8_t { None, V4, V6 };

    Family family = Family::None;
    // IPv4 in the first four bytes, both in network byte order.
    std::array<std::uint8_t, 16> bytes{};
    // The interface an IPv6 link-local address is reached through; 0 elsewhere.
    std::uint32_t scope = 0;

    static IpAddress fromV4(std::uint32_t networkOrder);
    static IpAddress fromV6(const std::uint8_t* sixteen, std::uint32_t scope = 0);
    // A literal of either family: four-part dotted IPv4 (no short or
    // hexadecimal forms) or IPv6 as inet_pton reads it, with an optional
    // "%interface" for link-local addresses.
    static std::optional<IpAddress> parse(std::string_view text);
    // An IPv6 literal as a host may be typed: what parse() reads, also in
    // brackets ("[2001:db8::1]"); nothing for IPv4 or any other text.
    static std::optional<IpAddress> parseV6Literal(std::string_view text);
    // From a socket address of either family; None for any other.
    static IpAddress fromSockaddr(const sockaddr* address);

    bool isV4() const { return family == Family::V4; }
    bool isV6() const { return family == Family::V6; }
    bool valid() const { return family != Family::None; }
    // ::ffff:a.b.c.d, an IPv4 address in IPv6 clothing, and that address.
    bool isV4Mapped() const;
    IpAddress unmapped() const;
    // The IPv4 address in network byte order; 0 for other families.
    std::uint32_t v4() const;

    // The canonical text: dotted quad, or RFC 5952 for IPv6 (lower case,
    // the longest run of zero groups compressed) with "%interface" for a
    // link-local address; "" for None.
    std::string text() const;
    // Fills `out` for sendto()/connect(); returns its length, 0 for None.
    unsigned toSockaddr(sockaddr_storage& out) const;

    bool operator==(const IpAddress& other) const = default;
    // Ordered by family, then bytes, then interface: usable as a map key.
    bool operator<(const IpAddress& other) const {
        if (family != other.family)
            return family < other.family;
        if (bytes != other.bytes)
            return bytes < other.bytes;
        return scope < other.scope;
    }
};
