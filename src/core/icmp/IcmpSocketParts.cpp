#include "IcmpSocketParts.h"

#include "Privileges.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <sys/socket.h>
#include <unistd.h>

namespace icmpsocket {

namespace {

void enable(int fd, int level, int option) {
    const int on = 1;
    // Each of these only adds information; the echo works without it.
    (void)setsockopt(fd, level, option, &on, sizeof on);
}

int openPing(Family family, std::uint16_t* id) {
    const bool v6 = family == Family::V6;
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, v6 ? IPPROTO_ICMPV6 : IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Binding to port 0 makes the kernel choose the identifier now, so it can
    // be read back and checked in errors.
    sockaddr_storage local{};
    local.ss_family = v6 ? AF_INET6 : AF_INET;
    socklen_t length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    auto* address = reinterpret_cast<sockaddr*>(&local);
    if (bind(fd, address, length) != 0 || getsockname(fd, address, &length) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    // The port stands at the same place in both socket addresses.
    *id = ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
    if (v6) {
        enable(fd, IPPROTO_IPV6, IPV6_RECVERR);
        enable(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT);
    } else {
        enable(fd, IPPROTO_IP, IP_RECVERR);
        enable(fd, IPPROTO_IP, IP_RECVTTL);
    }
    return fd;
}

int openRaw(Family family) {
    const bool v6 = family == Family::V6;
    const bool raised = privileges::raiseNetRaw();
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_RAW | SOCK_CLOEXEC, v6 ? IPPROTO_ICMPV6 : IPPROTO_ICMP);
    int saved = errno;
    // CAP_NET_RAW must not stay effective past socket(): if it cannot be
    // lowered, the open fails, so the caller stops instead of going on with it.
    if (raised && !privileges::lowerEffective()) {
        saved = errno;
        if (fd >= 0)
            ::close(fd);
        errno = saved;
        return -1;
    }
    if (fd < 0) {
        errno = saved;
        return -1;
    }
    // Only replies and the errors that can end an echo reach us; requests
    // (our own, when pinging this host), redirects, neighbour discovery and
    // the rest stay out.
    if (v6) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (const std::uint8_t type :
             {icmpwire::v6::kEchoReply, icmpwire::v6::kDestUnreachable, icmpwire::v6::kPacketTooBig,
              icmpwire::v6::kTimeExceeded, icmpwire::v6::kParameterProblem})
            ICMP6_FILTER_SETPASS(type, &filter);
        (void)setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
        // No IPv6 header comes with the message: the hop limit comes apart.
        enable(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT);
    } else {
        icmp_filter filter{};
        filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
                        (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
        (void)setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
    return fd;
}

// One recvmsg() into a buffer, with the sender's address and room for the
// ancillary data.
struct Message {
    sockaddr_storage from{};
    alignas(cmsghdr) std::uint8_t control[512];
    iovec iov{};
    msghdr msg{};

    ssize_t receive(int fd, std::span<std::uint8_t> buffer, int flags) {
        iov = {buffer.data(), buffer.size()};
        msg = {};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        return recvmsg(fd, &msg, flags);
    }

    IpAddress sender() const { return IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&from)); }
};

// Reads the ancillary data the socket was asked for: receive stamp and TTL
// or hop limit.
void readControl(msghdr& msg, Received& packet) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS &&
            c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            std::memcpy(&packet.stamp, CMSG_DATA(c), sizeof packet.stamp);
            packet.stamped = true;
        } else if (((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) ||
                    (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT)) &&
                   c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            std::memcpy(&packet.ttl, CMSG_DATA(c), sizeof packet.ttl);
        }
    }
}

std::int64_t nanosBetween(const timespec& from, const timespec& to) {
    return (std::int64_t{to.tv_sec} - from.tv_sec) * 1'000'000'000 + (std::int64_t{to.tv_nsec} - from.tv_nsec);
}

std::uint32_t millis(std::int64_t nanos) {
    return static_cast<std::uint32_t>(nanos / 1'000'000);
}

// The same host: scopes aside, which only say how a link-local address is reached.
bool sameHost(const IpAddress& a, const IpAddress& b) {
    return a.family == b.family && a.bytes == b.bytes;
}

icmpwire::Expectation wire4(const Expectation& expect) {
    return {expect.target.v4(), expect.id, expect.seq, expect.data};
}

icmpwire::v6::Expectation wire6(const Expectation& expect) {
    return {expect.target.bytes, expect.id, expect.seq, expect.data};
}

// No host sends from the unspecified address: a sender of all zeros is one
// the kernel did not name.
Outcome from4(const icmpwire::Outcome& wire) {
    const IpAddress from = wire.from != 0 ? IpAddress::fromV4(wire.from) : IpAddress{};
    return {wire.verdict, wire.type, wire.code, from, wire.ttl, wire.dataSize, false};
}

Outcome from6(const icmpwire::v6::Outcome& wire, std::uint32_t scope, int hopLimit) {
    const bool named = std::ranges::any_of(wire.from, [](std::uint8_t b) { return b != 0; });
    const IpAddress from = named ? IpAddress::fromV6(wire.from.data(), scope) : IpAddress{};
    return {wire.verdict, wire.type, wire.code, from, hopLimit, wire.dataSize, true};
}

// Skips an IPv4 header; false if there is no complete one.
bool skipIpHeader(std::span<const std::uint8_t>& bytes) {
    if (bytes.size() < icmpwire::kMinIpHeaderSize)
        return false;
    const std::size_t ihl = std::size_t{bytes[0] & 0x0Fu} * 4;
    if (ihl < icmpwire::kMinIpHeaderSize || ihl > bytes.size())
        return false;
    bytes = bytes.subspan(ihl);
    return true;
}

} // namespace

Opened open(SocketKind kind, Family family, int* error) {
    Opened opened;
    opened.family = family;
    if (kind != SocketKind::Raw)
        opened.fd = openPing(family, &opened.id);
    if (opened.fd < 0 && kind != SocketKind::Ping) {
        opened.fd = openRaw(family);
        opened.kind = Kind::Raw;
        std::random_device random;
        opened.id = static_cast<std::uint16_t>(random());
    }
    if (opened.fd < 0) {
        if (error)
            *error = errno;
        return opened;
    }
    enable(opened.fd, SOL_SOCKET, SO_TIMESTAMPNS);
    return opened;
}

void configure(const Opened& socket, std::uint8_t ttl, std::uint8_t flags, bool shared) {
    const int hops = ttl;
    const bool dontFragment = (flags & 2) != 0;
    if (socket.family == Family::V6) {
        (void)setsockopt(socket.fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &hops, sizeof hops);
        // IPv6 routers never fragment: without the flag the kernel
        // fragments here, to the path MTU it has learned. With it, a packet
        // over the path MTU ends in "packet too big"; as for IPv4, a path
        // MTU learned earlier is ignored then, so the router on the path
        // tells.
        const int on = dontFragment ? 1 : 0;
        (void)setsockopt(socket.fd, IPPROTO_IPV6, IPV6_DONTFRAG, &on, sizeof on);
        const int discover = dontFragment ? IPV6_PMTUDISC_PROBE : IPV6_PMTUDISC_WANT;
        (void)setsockopt(socket.fd, IPPROTO_IPV6, IPV6_MTU_DISCOVER, &discover, sizeof discover);
        return;
    }
    (void)setsockopt(socket.fd, IPPROTO_IP, IP_TTL, &hops, sizeof hops);
    // Don't Fragment on request, ignoring any path MTU learned earlier;
    // otherwise explicitly off, as the kernel's default would set DF itself.
    // The kernel drops a ping socket's "fragmentation needed" errors while
    // it is set to _DONT; _OMIT sends without DF too, but lets them through.
    const int off = shared ? IP_PMTUDISC_OMIT : IP_PMTUDISC_DONT;
    const int discover = dontFragment ? IP_PMTUDISC_PROBE : off;
    (void)setsockopt(socket.fd, IPPROTO_IP, IP_MTU_DISCOVER, &discover, sizeof discover);
}

SendTime SendTime::now() {
    SendTime sent;
    clock_gettime(CLOCK_REALTIME, &sent.realtime);
    sent.monotonic = std::chrono::steady_clock::now();
    return sent;
}

bool receive(int fd, std::span<std::uint8_t> buffer, Received& packet) {
    Message message;
    const ssize_t n = message.receive(fd, buffer, MSG_DONTWAIT);
    if (n < 0)
        return false;
    packet = {};
    packet.bytes = buffer.first(std::min(static_cast<std::size_t>(n), buffer.size()));
    packet.from = message.sender();
    packet.truncated = (message.msg.msg_flags & MSG_TRUNC) != 0;
    readControl(message.msg, packet);
    return true;
}

QueueRead readQueuedError(int fd, std::span<std::uint8_t> buffer, QueuedError& error) {
    Message message;
    const ssize_t n = message.receive(fd, buffer, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0)
        return QueueRead::Empty;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message.msg); c; c = CMSG_NXTHDR(&message.msg, c)) {
        const bool v4 = c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR;
        const bool v6 = c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR;
        if ((!v4 && !v6) || c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
            continue;
        sock_extended_err err;
        std::memcpy(&err, CMSG_DATA(c), sizeof err);
        if (err.ee_origin != (v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP))
            continue;
        error = {};
        // The sender of the ICMP message follows the extended error.
        const std::size_t offenderSize = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + offenderSize)) {
            sockaddr_storage offender{};
            std::memcpy(&offender, CMSG_DATA(c) + sizeof(sock_extended_err), offenderSize);
            error.offender = IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&offender));
        }
        // The quoted request was sent to the address in msg_name.
        error.target = message.sender();
        error.type = err.ee_type;
        error.code = err.ee_code;
        error.quoted = buffer.first(std::min(static_cast<std::size_t>(n), buffer.size()));
        return QueueRead::Icmp;
    }
    return QueueRead::Other;
}

Outcome parse(Kind kind, const Received& packet, const Expectation& expect) {
    if (expect.target.isV6()) {
        if (!packet.from.isV6())
            return {};
        const icmpwire::v6::Expectation wire = wire6(expect);
        const icmpwire::v6::Outcome outcome =
            kind == Kind::Raw ? icmpwire::v6::parseRawMessage(packet.bytes, packet.from.bytes, wire)
                              : icmpwire::v6::parsePingMessage(packet.bytes, packet.from.bytes, wire);
        return from6(outcome, packet.from.scope, packet.ttl);
    }
    if (kind == Kind::Raw)
        return from4(icmpwire::parseRawPacket(packet.bytes, wire4(expect)));
    // A ping socket reads the TTL from IP_TTL, a raw socket from the IP header.
    Outcome outcome = from4(icmpwire::parsePingMessage(packet.bytes, packet.from.v4(), wire4(expect)));
    outcome.ttl = packet.ttl;
    return outcome;
}

Outcome parse(const QueuedError& error, const Expectation& expect) {
    if (!sameHost(error.target, expect.target))
        return {};
    if (expect.target.isV6()) {
        const icmpwire::v6::Outcome outcome =
            icmpwire::v6::parsePingError(error.type, error.code, error.offender.bytes, error.quoted, wire6(expect));
        return from6(outcome, error.offender.scope, -1);
    }
    return from4(icmpwire::parsePingError(error.type, error.code, error.offender.v4(), error.quoted, wire4(expect)));
}

std::optional<std::uint16_t> sequenceOf(Kind kind, Family family, std::span<const std::uint8_t> bytes) {
    if (kind == Kind::Raw && family == Family::V4) {
        if (!skipIpHeader(bytes) || bytes.size() < icmpwire::kIcmpHeaderSize)
            return std::nullopt;
        if (icmpwire::isErrorType(bytes[0])) {
            bytes = bytes.subspan(icmpwire::kIcmpHeaderSize);
            if (!skipIpHeader(bytes))
                return std::nullopt;
        }
    } else if (kind == Kind::Raw) {
        // An error quotes our IPv6 header, then our echo header.
        if (bytes.size() >= icmpwire::kIcmpHeaderSize && icmpwire::v6::isErrorType(bytes[0])) {
            const std::size_t skip = icmpwire::kIcmpHeaderSize + icmpwire::v6::kIpHeaderSize;
            if (bytes.size() < skip)
                return std::nullopt;
            bytes = bytes.subspan(skip);
        }
    }
    if (bytes.size() < icmpwire::kIcmpHeaderSize)
        return std::nullopt;
    return icmpwire::readBe16(&bytes[6]);
}

std::int64_t roundTripNanos(const SendTime& sent, const Received& packet) {
    const std::int64_t monotonic =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - sent.monotonic).count();
    if (packet.stamped) {
        const std::int64_t kernel = nanosBetween(sent.realtime, packet.stamp);
        // The receive stamp is wall-clock time; trust it only when it agrees
        // with the monotonic clock (no step of the clock in between).
        if (kernel >= 0 && kernel <= monotonic + 1'000'000)
            return kernel;
    }
    return std::max<std::int64_t>(monotonic, 0);
}

std::vector<std::uint8_t> buildRequest(const Opened& socket, std::uint16_t seq, std::span<const std::uint8_t> data) {
    return socket.family == Family::V6 ? icmpwire::v6::buildEchoRequest(socket.id, seq, data)
                                       : icmpwire::buildEchoRequest(socket.id, seq, data);
}

bool sendTo(int fd, std::span<const std::uint8_t> packet, const IpAddress& target) {
    sockaddr_storage to{};
    const socklen_t length = target.toSockaddr(to);
    return sendto(fd, packet.data(), packet.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), length) >= 0;
}

void fillReply(const Outcome& outcome, std::int64_t nanos, EchoResult& result) {
    result.replies = 1;
    result.status = 0;
    result.reply = {};
    result.reply.Address = outcome.from.v4();
    result.reply.RoundTripTime = millis(nanos);
    result.reply.DataSize = static_cast<std::uint16_t>(outcome.dataSize);
    result.reply.Options.Ttl = static_cast<std::uint8_t>(outcome.ttl);
    result.roundTripNanos = nanos;
    result.from = outcome.from;
}

void fillError(const Outcome& outcome, std::int64_t nanos, EchoResult& result) {
    result.replies = 0;
    result.status = outcome.icmp6 ? icmpwire::v6::statusForIcmp(outcome.type, outcome.code)
                                  : icmpwire::statusForIcmp(outcome.type, outcome.code);
    result.reply = {};
    result.reply.Address = outcome.from.v4();
    result.reply.Status = result.status;
    result.reply.RoundTripTime = millis(nanos);
    result.roundTripNanos = nanos;
    result.from = outcome.from;
}

void fillSendError(int error, EchoResult& result) {
    result = {};
    result.status = icmpwire::statusForErrno(error);
}

void fillTimeout(EchoResult& result) {
    result = {};
    result.status = 11010;
}

void fillNoSocket(EchoResult& result) {
    result = {};
    result.status = 11050; // General failure
}

} // namespace icmpsocket
