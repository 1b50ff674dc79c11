#pragma once

// Strict parsing of the numbers given on the command line.

#include <cstdint>
#include <optional>
#include <string_view>

namespace responder {

// A plain decimal number (digits only, no sign or spaces) not above `max`.
std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t max);

} // namespace responder
