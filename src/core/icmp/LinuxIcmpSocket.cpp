#include "LinuxIcmpSocket.h"

#include "Privileges.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

using icmpwire::Expectation;
using icmpwire::Outcome;
using icmpwire::Verdict;

struct LinuxIcmpSocket::Received {
    std::size_t length = 0;
    std::uint32_t from = 0;
    int ttl = -1;
    bool stamped = false;
    timespec stamp{};
};

namespace {

void enable(int fd, int level, int option) {
    const int on = 1;
    // Each of these only adds information; the echo works without it.
    (void)setsockopt(fd, level, option, &on, sizeof on);
}

// Reads the ancillary data the socket was asked for: receive stamp and TTL.
void readControl(msghdr& msg, int& ttl, bool& stamped, timespec& stamp) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS &&
            c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            stamped = true;
        } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
        }
    }
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

std::int64_t nanosBetween(const timespec& from, const timespec& to) {
    return (std::int64_t{to.tv_sec} - from.tv_sec) * 1'000'000'000 + (std::int64_t{to.tv_nsec} - from.tv_nsec);
}

} // namespace

int LinuxIcmpSocket::openPing(std::uint16_t* id) {
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

int LinuxIcmpSocket::openRaw() {
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

std::unique_ptr<LinuxIcmpSocket> LinuxIcmpSocket::open(SocketKind kind, int* error) {
    int fd = -1;
    Kind opened = Kind::Ping;
    std::uint16_t id = 0;
    if (kind != SocketKind::Raw)
        fd = openPing(&id);
    if (fd < 0 && kind != SocketKind::Ping) {
        fd = openRaw();
        opened = Kind::Raw;
        std::random_device random;
        id = static_cast<std::uint16_t>(random());
    }
    if (fd < 0) {
        if (error)
            *error = errno;
        return nullptr;
    }
    enable(fd, SOL_SOCKET, SO_TIMESTAMPNS);
    return std::unique_ptr<LinuxIcmpSocket>(new LinuxIcmpSocket(fd, opened, id));
}

LinuxIcmpSocket::LinuxIcmpSocket(int fd, Kind kind, std::uint16_t id)
    : m_fd(fd), m_kind(kind), m_id(id), m_waiter(std::make_unique<EventLoopWaiter>()) {}

LinuxIcmpSocket::~LinuxIcmpSocket() {
    ::close(m_fd);
}

void LinuxIcmpSocket::configure(const EchoRequest& request) {
    const int ttl = request.ttl;
    (void)setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    // Don't Fragment on request, ignoring any path MTU learned earlier;
    // otherwise explicitly off, as the kernel's default would set DF itself.
    const int discover = (request.flags & 2) ? IP_PMTUDISC_PROBE : IP_PMTUDISC_DONT;
    (void)setsockopt(m_fd, IPPROTO_IP, IP_MTU_DISCOVER, &discover, sizeof discover);
}

void LinuxIcmpSocket::drain() {
    std::uint8_t scratch[64];
    for (const int flags : {int{MSG_DONTWAIT | MSG_ERRQUEUE}, int{MSG_DONTWAIT}}) {
        // Bounded, so a flood cannot hold the sender here.
        for (int i = 0; i < 4096; ++i) {
            const ssize_t n = recv(m_fd, scratch, sizeof scratch, flags);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
        }
    }
}

std::uint32_t LinuxIcmpSocket::roundTrip(const Received& packet) const {
    const auto monotonic = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - m_sentMonotonic).count();
    if (packet.stamped) {
        const std::int64_t kernel = nanosBetween(m_sentRealtime, packet.stamp);
        // The receive stamp is wall-clock time; trust it only when it agrees
        // with the monotonic clock (no step of the clock in between).
        if (kernel >= 0 && kernel <= monotonic + 1'000'000)
            return static_cast<std::uint32_t>(kernel / 1'000'000);
    }
    return static_cast<std::uint32_t>(std::max<std::int64_t>(monotonic, 0) / 1'000'000);
}

namespace {

void fillError(const Outcome& outcome, std::uint32_t rtt, EchoResult& result) {
    result.replies = 0;
    result.status = icmpwire::statusForIcmp(outcome.type, outcome.code);
    result.reply = {};
    result.reply.Address = outcome.from;
    result.reply.Status = result.status;
    result.reply.RoundTripTime = rtt;
}

} // namespace

bool LinuxIcmpSocket::readErrorQueue(const Expectation& expect, EchoResult& result) {
    // Only a ping socket queues ICMP errors; a raw socket reads them as packets.
    for (int i = 0; i < 256; ++i) {
        std::uint8_t quoted[576];
        Message message;
        const ssize_t n = message.receive(m_fd, quoted, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0)
            return false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message.msg); c; c = CMSG_NXTHDR(&message.msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR ||
                c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
                continue;
            sock_extended_err err;
            std::memcpy(&err, CMSG_DATA(c), sizeof err);
            if (err.ee_origin != SO_EE_ORIGIN_ICMP)
                continue;
            std::uint32_t offender = 0;
            if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
                sockaddr_in addr;
                std::memcpy(&addr, CMSG_DATA(c) + sizeof(sock_extended_err), sizeof addr);
                offender = addr.sin_addr.s_addr;
            }
            // The quoted request was sent to the address in msg_name.
            if (message.from.sin_addr.s_addr != expect.target)
                continue;
            const Outcome outcome = icmpwire::parsePingError(err.ee_type, err.ee_code, offender,
                                                             {quoted, static_cast<std::size_t>(n)}, expect);
            if (outcome.verdict == Verdict::IcmpError) {
                fillError(outcome, roundTrip(Received{}), result);
                return true;
            }
        }
    }
    return false;
}

LinuxIcmpSocket::Read LinuxIcmpSocket::readOne(const Expectation& expect, EchoResult& result) {
    Message message;
    const ssize_t n = message.receive(m_fd, m_buffer, MSG_DONTWAIT);
    if (n < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? Read::Empty : Read::Ignored;
    // Longer than anything our echo can bring back: not ours.
    if (message.msg.msg_flags & MSG_TRUNC)
        return Read::Ignored;

    Received packet;
    packet.length = static_cast<std::size_t>(n);
    packet.from = message.from.sin_addr.s_addr;
    readControl(message.msg, packet.ttl, packet.stamped, packet.stamp);

    const std::span<const std::uint8_t> bytes(m_buffer.data(), packet.length);
    const Outcome outcome = m_kind == Kind::Raw ? icmpwire::parseRawPacket(bytes, expect)
                                                : icmpwire::parsePingMessage(bytes, packet.from, expect);
    if (outcome.verdict == Verdict::Ignore)
        return Read::Ignored;

    const std::uint32_t rtt = roundTrip(packet);
    if (outcome.verdict == Verdict::IcmpError) {
        fillError(outcome, rtt, result);
        return Read::Done;
    }
    result.replies = 1;
    result.status = 0;
    result.reply = {};
    result.reply.Address = outcome.from;
    result.reply.RoundTripTime = rtt;
    result.reply.DataSize = static_cast<std::uint16_t>(outcome.dataSize);
    result.reply.Options.Ttl = static_cast<std::uint8_t>(m_kind == Kind::Raw ? outcome.ttl : packet.ttl);
    return Read::Done;
}

EchoResult LinuxIcmpSocket::echo(const EchoRequest& request) {
    EchoResult result;
    configure(request);
    drain();

    ++m_seq;
    const Expectation expect{request.target, m_id, m_seq, request.data};
    const std::vector<std::uint8_t> packet = icmpwire::buildEchoRequest(m_id, m_seq, request.data);
    // Room for the largest header and our echo and one byte more, so that a
    // longer datagram shows as truncated.
    m_buffer.resize(
        icmpwire::kMaxIpHeaderSize + packet.size() + 1 > 1024 ? icmpwire::kMaxIpHeaderSize + packet.size() + 1 : 1024);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = request.target;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(request.timeoutMs);
    clock_gettime(CLOCK_REALTIME, &m_sentRealtime);
    m_sentMonotonic = Clock::now();
    if (sendto(m_fd, packet.data(), packet.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        result.status = icmpwire::statusForErrno(errno);
        drain();
        return result;
    }

    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        m_waiter->waitReady(m_fd, static_cast<int>(left));
        if (m_waiter->abandoned())
            break;
        if (m_kind == Kind::Ping && readErrorQueue(expect, result))
            return result;
        // Everything that is queued now, but no more than a bounded number,
        // so the deadline is looked at again even under a flood.
        for (int i = 0; i < 256; ++i) {
            const Read read = readOne(expect, result);
            if (read == Read::Done)
                return result;
            if (read == Read::Empty)
                break;
        }
    }
    result.replies = 0;
    result.status = 11010;
    result.reply = {};
    return result;
}
