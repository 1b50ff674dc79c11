#include "GaiResolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

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

LookupAnswer GaiResolver::lookup(const QByteArray& name) {
    // A C string cannot carry a NUL: such a name names no host.
    if (name.contains('\0'))
        return {11001, 0};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(name.constData(), nullptr, &hints, &list);
    if (rc != 0)
        return {codeFor(rc), 0};
    LookupAnswer answer{11004, 0};
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr) {
            answer = {0, reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr};
            break;
        }
    }
    freeaddrinfo(list);
    return answer;
}
