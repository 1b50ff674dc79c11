#include "RouteProbe.h"

#include "LedgerRow.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <linux/if.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Bytes = std::span<const std::uint8_t>;

// How long the kernel may take to answer. It normally has by the time the
// request is sent, since rtnetlink handles requests in the sender's call.
constexpr std::chrono::milliseconds kAnswerTimeout{200};

constexpr std::size_t align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}
constexpr std::size_t kMessageHeader = align4(sizeof(nlmsghdr));
constexpr std::size_t kAttributeHeader = align4(sizeof(rtattr));
static_assert(sizeof(rtmsg) % 4 == 0 && sizeof(ifinfomsg) % 4 == 0);

// Netlink data carries no alignment promise for our types: copy, never cast.
// The caller has checked that `bytes` holds a T.
template <typename T> T copyOut(Bytes bytes) {
    T value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

template <typename T> void append(std::uint8_t*& at, const T& value) {
    std::memcpy(at, &value, sizeof value);
    at += sizeof value;
}

// Calls use(type, payload) for each attribute in `bytes`, up to the first
// one whose length does not fit.
template <typename Use> void forEachAttribute(Bytes bytes, Use use) {
    while (bytes.size() >= kAttributeHeader) {
        const auto attribute = copyOut<rtattr>(bytes);
        if (attribute.rta_len < kAttributeHeader || attribute.rta_len > bytes.size())
            return;
        use(attribute.rta_type & NLA_TYPE_MASK, bytes.subspan(kAttributeHeader, attribute.rta_len - kAttributeHeader));
        bytes = bytes.subspan(std::min(align4(attribute.rta_len), bytes.size()));
    }
}

bool readU32(Bytes payload, std::uint32_t& value) {
    if (payload.size() != sizeof value)
        return false;
    value = copyOut<std::uint32_t>(payload);
    return true;
}

// An address attribute of the route's family; anything else is left alone.
bool readAddress(Bytes payload, int family, IpAddress& address) {
    if (family == AF_INET && payload.size() == 4) {
        address = IpAddress::fromV4(copyOut<std::uint32_t>(payload));
        return true;
    }
    if (family == AF_INET6 && payload.size() == 16) {
        address = IpAddress::fromV6(payload.data());
        return true;
    }
    return false;
}

bool isLinkLocal(const IpAddress& address) {
    return address.isV6() && address.bytes[0] == 0xfe && (address.bytes[1] & 0xc0) == 0x80;
}

void readRoute(Bytes payload, int family, RouteInfo& info) {
    if (payload.size() < sizeof(rtmsg) || copyOut<rtmsg>(payload).rtm_family != family) {
        info.error = EPROTO;
        return;
    }
    info.route = true;
    forEachAttribute(payload.subspan(sizeof(rtmsg)), [&info, family](unsigned type, Bytes value) {
        std::uint32_t number = 0;
        if (type == RTA_GATEWAY)
            readAddress(value, family, info.gateway);
        else if (type == RTA_PREFSRC)
            readAddress(value, family, info.source);
        else if (type == RTA_OIF && readU32(value, number))
            info.ifindex = static_cast<int>(number);
    });
    // IPv6 routers are usually known by their link-local address, which
    // means something only together with the interface.
    if (isLinkLocal(info.gateway))
        info.gateway.scope = static_cast<std::uint32_t>(std::max(info.ifindex, 0));
}

void readLink(Bytes payload, RouteInfo& info) {
    if (payload.size() < sizeof(ifinfomsg) || copyOut<ifinfomsg>(payload).ifi_index != info.ifindex) {
        info.error = EPROTO;
        return;
    }
    const unsigned flags = copyOut<ifinfomsg>(payload).ifi_flags;
    int operstate = IF_OPER_UNKNOWN;
    forEachAttribute(payload.subspan(sizeof(ifinfomsg)), [&info, &operstate](unsigned type, Bytes value) {
        const auto* text = reinterpret_cast<const char*>(value.data());
        if (type == IFLA_IFNAME)
            info.interface = QString::fromUtf8(text, static_cast<qsizetype>(strnlen(text, value.size())));
        else if (type == IFLA_OPERSTATE && value.size() >= 1)
            operstate = value[0];
    });
    // RUNNING already means operationally up to the kernel; drivers that do
    // not track it report UNKNOWN, which counts as up as it does for `ip`.
    const unsigned up = IFF_UP | IFF_LOWER_UP | IFF_RUNNING;
    info.linkUp = (flags & up) == up && (operstate == IF_OPER_UP || operstate == IF_OPER_UNKNOWN);
}

} // namespace

NetlinkRouteSource::~NetlinkRouteSource() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NetlinkRouteSource::open(int* error) {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    // The kernel gives the socket its port on bind; every answer names it.
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    socklen_t length = sizeof local;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        *error = errno;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_port = local.nl_pid;
    return true;
}

Bytes NetlinkRouteSource::exchange(std::uint16_t type, Bytes body, std::uint16_t wanted, int* error) {
    std::array<std::uint8_t, 64> request{};
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(kMessageHeader + body.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = NLM_F_REQUEST;
    header.nlmsg_seq = ++m_seq;
    std::memcpy(request.data(), &header, sizeof header);
    std::memcpy(request.data() + kMessageHeader, body.data(), body.size());

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent = 0;
    do
        sent = sendto(m_fd, request.data(), header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel);
    while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        *error = errno;
        return {};
    }

    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    for (;;) {
        sockaddr_nl from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = recvfrom(m_fd, m_buffer.data(), m_buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (n < 0) {
            if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                *error = errno; // ENOBUFS: answers were dropped, ours perhaps among them
                return {};
            }
            pollfd ready{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) {
                *error = ETIMEDOUT;
                return {};
            }
            continue;
        }
        if (static_cast<std::size_t>(n) > m_buffer.size()) {
            *error = EMSGSIZE;
            return {};
        }
        Bytes datagram(m_buffer.data(), static_cast<std::size_t>(n));
        while (from.nl_pid == 0 && datagram.size() >= kMessageHeader) {
            const auto answer = copyOut<nlmsghdr>(datagram);
            if (answer.nlmsg_len < kMessageHeader || answer.nlmsg_len > datagram.size())
                break;
            // An answer to an earlier request that timed out is not ours.
            if (answer.nlmsg_seq == header.nlmsg_seq && answer.nlmsg_pid == m_port) {
                const Bytes payload = datagram.subspan(kMessageHeader, answer.nlmsg_len - kMessageHeader);
                if (answer.nlmsg_type == wanted)
                    return payload;
                if (answer.nlmsg_type == NLMSG_ERROR) {
                    const int code = payload.size() >= sizeof(int) ? copyOut<int>(payload) : -EPROTO;
                    *error = code < 0 ? -code : EPROTO;
                    return {};
                }
            }
            datagram = datagram.subspan(std::min(align4(answer.nlmsg_len), datagram.size()));
        }
        // Bounded, so that a flood of stale answers cannot hold the caller.
        if (left.count() <= 0) {
            *error = ETIMEDOUT;
            return {};
        }
    }
}

RouteInfo NetlinkRouteSource::lookup(const IpAddress& target) {
    RouteInfo info;
    if (!target.valid()) {
        info.error = EAFNOSUPPORT;
        return info;
    }
    if (m_fd < 0 && !open(&info.error))
        return info;

    // The route a datagram to `target` would take now, as `ip route get`.
    const int family = target.isV4() ? AF_INET : AF_INET6;
    const std::size_t length = target.isV4() ? 4 : 16;
    rtmsg route{};
    route.rtm_family = static_cast<unsigned char>(family);
    route.rtm_dst_len = static_cast<unsigned char>(8 * length);
    rtattr destination{};
    destination.rta_len = static_cast<unsigned short>(kAttributeHeader + length);
    destination.rta_type = RTA_DST;
    rtattr outInterface{};
    outInterface.rta_len = static_cast<unsigned short>(kAttributeHeader + sizeof target.scope);
    outInterface.rta_type = RTA_OIF;
    std::array<std::uint8_t, sizeof route + 2 * kAttributeHeader + 16 + sizeof target.scope> routeBody{};
    std::uint8_t* at = routeBody.data();
    append(at, route);
    append(at, destination);
    std::memcpy(at, target.bytes.data(), length);
    at += length;
    // A link-local target is reached through the interface it names.
    if (target.scope != 0) {
        append(at, outInterface);
        append(at, target.scope);
    }
    const auto bodySize = static_cast<std::size_t>(at - routeBody.data());
    const Bytes routeAnswer = exchange(RTM_GETROUTE, Bytes(routeBody.data(), bodySize), RTM_NEWROUTE, &info.error);
    if (info.error != 0)
        return info;
    readRoute(routeAnswer, family, info);
    if (!info.route)
        return info;
    if (info.ifindex <= 0) {
        info.error = ENODEV;
        return info;
    }

    ifinfomsg link{};
    link.ifi_family = AF_UNSPEC;
    link.ifi_index = info.ifindex;
    std::array<std::uint8_t, sizeof link> linkBody{};
    std::memcpy(linkBody.data(), &link, sizeof link);
    const Bytes linkAnswer = exchange(RTM_GETLINK, linkBody, RTM_NEWLINK, &info.error);
    if (info.error == 0)
        readLink(linkAnswer, info);
    return info;
}

QString diagnoseCause(const RouteInfo& route, std::optional<bool> gatewayAnswers) {
    // No route, or an "unreachable" one. Prohibit and blackhole routes, and
    // a lookup that failed on our side, tell nothing about the link.
    if (!route.route)
        return route.error == ENETUNREACH || route.error == EHOSTUNREACH ? cause::Offline : QString();
    if (route.error != 0)
        return {};
    if (!route.linkUp || !route.source.valid())
        return cause::Offline;
    if (!route.gateway.valid())
        return cause::LocalHostSilent;
    if (!gatewayAnswers)
        return {};
    return *gatewayAnswers ? cause::BeyondGateway : cause::LocalNetwork;
}
