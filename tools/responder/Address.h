#pragma once

// An IPv4 or IPv6 address, the key of rules and per-address state and the
// destination of answers: the echo code's own address type.

#include "IpAddress.h"

#include <optional>
#include <string>
#include <string_view>

namespace responder {

using Address = IpAddress;

// A dotted-quad IPv4 or a textual IPv6 address (no brackets).
inline std::optional<Address> parseAddress(std::string_view text) {
    return IpAddress::parse(text);
}

// Dotted quad, or the canonical IPv6 text.
inline std::string formatAddress(const Address& address) {
    return address.text();
}

} // namespace responder
