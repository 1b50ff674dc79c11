#include "Text.h"

#include <charconv>

namespace responder {

std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t max) {
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value > max)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace responder
