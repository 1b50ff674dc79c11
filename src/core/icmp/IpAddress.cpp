#include "IpAddress.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

IpAddress IpAddress::fromV4(std::uint32_t networkOrder) {
    IpAddress a;
    a.family = Family::V4;
    std::memcpy(a.bytes.data(), &networkOrder, 4);
    return a;
}

IpAddress IpAddress::fromV6(const std::uint8_t* sixteen, std::uint32_t scope) {
    IpAddress a;
    a.family = Family::V6;
    std::memcpy(a.bytes.data(), sixteen, 16);
    a.scope = scope;
    return a;
}

bool IpAddress::isV4Mapped() const {
    static constexpr std::uint8_t prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return isV6() && std::memcmp(bytes.data(), prefix, sizeof prefix) == 0;
}

IpAddress IpAddress::unmapped() const {
    if (!isV4Mapped())
        return *this;
    std::uint32_t v4 = 0;
    std::memcpy(&v4, bytes.data() + 12, 4);
    return fromV4(v4);
}

std::uint32_t IpAddress::v4() const {
    std::uint32_t value = 0;
    if (isV4())
        std::memcpy(&value, bytes.data(), 4);
    return value;
}

namespace {

// Four decimal parts of 0..255, nothing else: inet_pton's own rules.
bool parseV4(const std::string& text, IpAddress& out) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    out = IpAddress::fromV4(a.s_addr);
    return true;
}

bool parseV6(const std::string& text, IpAddress& out) {
    std::string address = text;
    std::uint32_t scope = 0;
    if (const auto percent = text.find('%'); percent != std::string::npos) {
        const std::string name = text.substr(percent + 1);
        if (name.empty())
            return false;
        scope = if_nametoindex(name.c_str());
        if (scope == 0) {
            // A number names the interface by its index.
            char* end = nullptr;
            const unsigned long index = std::strtoul(name.c_str(), &end, 10);
            if (*end != '\0' || index == 0 || index > 0xFFFFFFFFul)
                return false;
            scope = static_cast<std::uint32_t>(index);
        }
        address = text.substr(0, percent);
    }
    in6_addr a{};
    if (inet_pton(AF_INET6, address.c_str(), &a) != 1)
        return false;
    out = IpAddress::fromV6(a.s6_addr, scope);
    return true;
}

} // namespace

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
    // A C string cannot carry a NUL, and no address is that long.
    if (text.empty() || text.size() > 128 || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string s(text);
    IpAddress a;
    if (parseV4(s, a) || parseV6(s, a))
        return a;
    return std::nullopt;
}

std::optional<IpAddress> IpAddress::parseV6Literal(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    const std::optional<IpAddress> a = parse(text);
    if (!a || !a->isV6())
        return std::nullopt;
    return a;
}

IpAddress IpAddress::fromSockaddr(const sockaddr* address) {
    if (!address)
        return {};
    if (address->sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        return fromV4(in.sin_addr.s_addr);
    }
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        return fromV6(in6.sin6_addr.s6_addr, in6.sin6_scope_id);
    }
    return {};
}

std::string IpAddress::text() const {
    char buffer[INET6_ADDRSTRLEN + IF_NAMESIZE + 1] = {};
    if (isV4()) {
        inet_ntop(AF_INET, bytes.data(), buffer, sizeof buffer);
        return buffer;
    }
    if (!isV6())
        return {};
    // glibc writes RFC 5952's form: lower case, the first longest run of
    // two or more zero groups as "::", IPv4-mapped as ::ffff:a.b.c.d.
    inet_ntop(AF_INET6, bytes.data(), buffer, sizeof buffer);
    std::string result = buffer;
    if (scope != 0) {
        char name[IF_NAMESIZE] = {};
        result += '%';
        result += if_indextoname(scope, name) ? std::string(name) : std::to_string(scope);
    }
    return result;
}

unsigned IpAddress::toSockaddr(sockaddr_storage& out) const {
    std::memset(&out, 0, sizeof out);
    if (isV4()) {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        std::memcpy(&in.sin_addr, bytes.data(), 4);
        std::memcpy(&out, &in, sizeof in);
        return sizeof in;
    }
    if (isV6()) {
        sockaddr_in6 in6{};
        in6.sin6_family = AF_INET6;
        std::memcpy(&in6.sin6_addr, bytes.data(), 16);
        in6.sin6_scope_id = scope;
        std::memcpy(&out, &in6, sizeof in6);
        return sizeof in6;
    }
    return 0;
}
