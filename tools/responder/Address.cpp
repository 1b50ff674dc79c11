#include "Address.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

namespace responder {

Address Address::v4(std::uint32_t networkOrder) {
    Address a;
    std::memcpy(a.bytes.data(), &networkOrder, 4);
    return a;
}

Address Address::v6(const std::uint8_t* sixteen) {
    Address a;
    a.family = Family::V6;
    std::memcpy(a.bytes.data(), sixteen, 16);
    return a;
}

std::uint32_t Address::ipv4() const {
    std::uint32_t address;
    std::memcpy(&address, bytes.data(), 4);
    return address;
}

std::span<const std::uint8_t> Address::raw() const {
    return {bytes.data(), isV6() ? std::size_t{16} : std::size_t{4}};
}

std::optional<Address> parseAddress(std::string_view text) {
    // inet_pton needs a terminated string; for IPv4 it accepts exactly four
    // decimal parts.
    const std::string copy(text);
    in6_addr address{};
    if (inet_pton(AF_INET, copy.c_str(), &address) == 1) {
        std::uint32_t v4;
        std::memcpy(&v4, &address, 4);
        return Address::v4(v4);
    }
    if (inet_pton(AF_INET6, copy.c_str(), &address) == 1)
        return Address::v6(address.s6_addr);
    return std::nullopt;
}

std::string formatAddress(const Address& address) {
    char text[INET6_ADDRSTRLEN] = {};
    const int family = address.isV6() ? AF_INET6 : AF_INET;
    if (inet_ntop(family, address.bytes.data(), text, sizeof text) == nullptr)
        return "?";
    return text;
}

} // namespace responder
