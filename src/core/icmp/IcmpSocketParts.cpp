#include "IcmpSocketParts.h"

#include "Privileges.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include <linux/errqueue.h>
#include <linux/icmp.h>
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

int openPing(std::uint16_t* id) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Binding to port 0 makes the kernel choose the identifier now, so it can
    // be read back and checked in errors.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t length = sizeof local;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    *id = ntohs(local.sin_port);
    enable(fd, IPPROTO_IP, IP_RECVERR);
    enable(fd, IPPROTO_IP, IP_RECVTTL);
    return fd;
}

int openRaw() {
    const bool raised = privileges::raiseNetRaw();
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
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
    // (our own, when pinging this host), redirects and the rest stay out.
    icmp_filter filter{};
    filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
                    (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
    (void)setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    return fd;
}

// One recvmsg() into a buffer, with the sender's address and room for the
// ancillary data.
struct Message {
    sockaddr_in from{};
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
};

// Reads the ancillary data the socket was asked for: receive stamp and TTL.
void readControl(msghdr& msg, Received& packet) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS &&
            c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            std::memcpy(&packet.stamp, CMSG_DATA(c), sizeof packet.stamp);
            packet.stamped = true;
        } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
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

} // namespace

Opened open(SocketKind kind, int* error) {
    Opened opened;
    if (kind != SocketKind::Raw)
        opened.fd = openPing(&opened.id);
    if (opened.fd < 0 && kind != SocketKind::Ping) {
        opened.fd = openRaw();
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

void configure(int fd, std::uint8_t ttl, std::uint8_t flags, bool shared) {
    const int hops = ttl;
    (void)setsockopt(fd, IPPROTO_IP, IP_TTL, &hops, sizeof hops);
    // Don't Fragment on request, ignoring any path MTU learned earlier;
    // otherwise explicitly off, as the kernel's default would set DF itself.
    // The kernel drops a ping socket's "fragmentation needed" errors while
    // it is set to _DONT; _OMIT sends without DF too, but lets them through.
    const int off = shared ? IP_PMTUDISC_OMIT : IP_PMTUDISC_DONT;
    const int discover = (flags & 2) ? IP_PMTUDISC_PROBE : off;
    (void)setsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &discover, sizeof discover);
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
    packet.from = message.from.sin_addr.s_addr;
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
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR ||
            c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
            continue;
        sock_extended_err err;
        std::memcpy(&err, CMSG_DATA(c), sizeof err);
        if (err.ee_origin != SO_EE_ORIGIN_ICMP)
            continue;
        error = {};
        if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
            sockaddr_in addr;
            std::memcpy(&addr, CMSG_DATA(c) + sizeof(sock_extended_err), sizeof addr);
            error.offender = addr.sin_addr.s_addr;
        }
        // The quoted request was sent to the address in msg_name.
        error.target = message.from.sin_addr.s_addr;
        error.type = err.ee_type;
        error.code = err.ee_code;
        error.quoted = buffer.first(std::min(static_cast<std::size_t>(n), buffer.size()));
        return QueueRead::Icmp;
    }
    return QueueRead::Other;
}

icmpwire::Outcome parse(Kind kind, const Received& packet, const icmpwire::Expectation& expect) {
    return kind == Kind::Raw ? icmpwire::parseRawPacket(packet.bytes, expect)
                             : icmpwire::parsePingMessage(packet.bytes, packet.from, expect);
}

icmpwire::Outcome parse(const QueuedError& error, const icmpwire::Expectation& expect) {
    if (error.target != expect.target)
        return {};
    return icmpwire::parsePingError(error.type, error.code, error.offender, error.quoted, expect);
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

void fillReply(const icmpwire::Outcome& outcome, const Received& packet, Kind kind, std::int64_t nanos,
               EchoResult& result) {
    result.replies = 1;
    result.status = 0;
    result.reply = {};
    result.reply.Address = outcome.from;
    result.reply.RoundTripTime = millis(nanos);
    result.reply.DataSize = static_cast<std::uint16_t>(outcome.dataSize);
    // A raw socket reads the TTL from the IP header, a ping socket from IP_TTL.
    result.reply.Options.Ttl = static_cast<std::uint8_t>(kind == Kind::Raw ? outcome.ttl : packet.ttl);
    result.roundTripNanos = nanos;
}

void fillError(const icmpwire::Outcome& outcome, std::int64_t nanos, EchoResult& result) {
    result.replies = 0;
    result.status = icmpwire::statusForIcmp(outcome.type, outcome.code);
    result.reply = {};
    result.reply.Address = outcome.from;
    result.reply.Status = result.status;
    result.reply.RoundTripTime = millis(nanos);
    result.roundTripNanos = nanos;
}

void fillSendError(int error, EchoResult& result) {
    result = {};
    result.status = icmpwire::statusForErrno(error);
}

void fillTimeout(EchoResult& result) {
    result = {};
    result.status = 11010;
}

} // namespace icmpsocket
