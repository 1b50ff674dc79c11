#include "Text.h"

#include <arpa/inet.h>
#include <charconv>
#include <netinet/in.h>

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

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
    // inet_pton needs a terminated string and accepts exactly four decimal parts.
    const std::string copy(text);
    in_addr address{};
    if (inet_pton(AF_INET, copy.c_str(), &address) != 1)
        return std::nullopt;
    return address.s_addr;
}

std::string formatIpv4(std::uint32_t address) {
    in_addr in{};
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &in, text, sizeof text) == nullptr)
        return "?";
    return text;
}

} // namespace responder
