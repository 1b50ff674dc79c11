#pragma once

// Strict parsing of the numbers and addresses given on the command line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace responder {

// A plain decimal number (digits only, no sign or spaces) not above `max`.
std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t max);

// A dotted-quad IPv4 address, returned in network byte order.
std::optional<std::uint32_t> parseIpv4(std::string_view text);

// Network byte order address as dotted quad.
std::string formatIpv4(std::uint32_t address);

} // namespace responder
