#pragma once

// An IPv4 or IPv6 address, the key of rules and per-address state and the
// destination of answers.

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace responder {

struct Address {
    enum class Family : std::uint8_t { V4, V6 };

    Family family = Family::V4;
    std::array<std::uint8_t, 16> bytes{}; // network order; IPv4 uses the first 4

    // From a network-order IPv4 address, or from the 16 bytes of an IPv6 one.
    static Address v4(std::uint32_t networkOrder);
    static Address v6(const std::uint8_t* sixteen);

    bool isV6() const { return family == Family::V6; }
    std::uint32_t ipv4() const;                // network byte order; IPv4 only
    std::span<const std::uint8_t> raw() const; // 4 or 16 bytes

    auto operator<=>(const Address&) const = default;
};

// A dotted-quad IPv4 or any textual IPv6 address (no scope, no brackets).
std::optional<Address> parseAddress(std::string_view text);

// Dotted quad, or the canonical IPv6 text.
std::string formatAddress(const Address& address);

} // namespace responder
