#include "GaiResolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <vector>

namespace {

std::uint16_t codeFor(int rc) {
    switch (rc) {
    case EAI_NONAME:
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return 11004;
    case EAI_MEMORY:
        return 10055;
    default:
        return 11003;
    }
}

} // namespace

IpAddress GaiResolver::choose(std::span<const IpAddress> addresses, bool preferIPv6) {
    const auto first = [&](IpAddress::Family family) {
        for (const IpAddress& a : addresses)
            if (a.family == family)
                return a;
        return IpAddress{};
    };
    const IpAddress v4 = first(IpAddress::Family::V4);
    const IpAddress v6 = first(IpAddress::Family::V6);
    if (v4.valid() && !(preferIPv6 && v6.valid()))
        return v4;
    return v6;
}

LookupAnswer GaiResolver::lookup(const QByteArray& name, bool preferIPv6) {
    // A C string cannot carry a NUL: such a name names no host.
    if (name.contains('\0'))
        return {11001, {}};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(name.constData(), nullptr, &hints, &list);
    if (rc != 0)
        return {codeFor(rc), {}};
    std::vector<IpAddress> addresses;
    for (addrinfo* ai = list; ai; ai = ai->ai_next)
        addresses.push_back(IpAddress::fromSockaddr(ai->ai_addr));
    freeaddrinfo(list);
    const IpAddress chosen = choose(addresses, preferIPv6);
    return chosen.valid() ? LookupAnswer{0, chosen} : LookupAnswer{11004, {}};
}
