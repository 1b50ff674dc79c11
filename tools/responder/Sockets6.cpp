#include "Sockets6.h"

#include "Forge6.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace responder {

namespace {

constexpr int kReceiveBufferBytes = 1 << 20;

sockaddr_in6 socketAddress(const Address& address) {
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    std::memcpy(sa.sin6_addr.s6_addr, address.bytes.data(), 16);
    return sa;
}

bool enable(int fd, int option) {
    const int on = 1;
    return setsockopt(fd, IPPROTO_IPV6, option, &on, sizeof on) == 0;
}

// The MTU the kernel knows for the way to `destination`, asked through a
// connected UDP socket, which sends nothing.
std::size_t pathMtu(const Address& destination) {
    const int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kMinMtu6;
    sockaddr_in6 sa = socketAddress(destination);
    sa.sin6_port = htons(9); // discard; any port will do for a route lookup
    int mtu = 0;
    socklen_t len = sizeof mtu;
    std::size_t result = kMinMtu6;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 &&
        getsockopt(fd, IPPROTO_IPV6, IPV6_MTU, &mtu, &len) == 0 && mtu >= static_cast<int>(kMinMtu6))
        result = static_cast<std::size_t>(mtu);
    close(fd);
    return result;
}

bool sendTo(int fd, const msghdr& msg, int& error) {
    for (;;) {
        if (sendmsg(fd, &msg, 0) >= 0)
            return true;
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

} // namespace

RawSockets6::~RawSockets6() {
    if (icmpFd_ >= 0)
        close(icmpFd_);
    if (rawFd_ >= 0)
        close(rawFd_);
}

bool RawSockets6::open(std::string& error) {
    icmpFd_ = socket(AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (icmpFd_ < 0) {
        noIpv6_ = errno == EAFNOSUPPORT;
        error = errnoText("raw ICMPv6 socket", errno);
        return false;
    }
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(ICMP6_ECHO_REQUEST, &filter);
    if (setsockopt(icmpFd_, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) != 0) {
        error = errnoText("ICMP6_FILTER", errno);
        return false;
    }
    // The local address a request was sent to, which also tells unicast from
    // multicast, and its hop limit, for the datagram an error quotes.
    if (!enable(icmpFd_, IPV6_RECVPKTINFO) || !enable(icmpFd_, IPV6_RECVHOPLIMIT)) {
        error = errnoText("IPV6_RECVPKTINFO/IPV6_RECVHOPLIMIT", errno);
        return false;
    }
    setsockopt(icmpFd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);

    // The kernel writes the checksum of everything sent on an ICMPv6 socket.
    // IPPROTO_RAW implies that we write the IPv6 header, and it leaves the
    // rest alone; it does not fragment either.
    rawFd_ = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (rawFd_ < 0) {
        error = errnoText("raw IPv6 socket", errno);
        return false;
    }
    nextFragmentId_ = static_cast<std::uint32_t>(getpid() ^ std::time(nullptr));
    return true;
}

Received RawSockets6::receive(std::span<std::uint8_t> buffer, std::size_t& size, std::string& why) {
    sockaddr_in6 from{};
    const auto message = buffer.subspan(kIp6HeaderSize);
    iovec iov{message.data(), message.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(int))];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;

    // The kernel has checked the checksum: it drops a bad one here and
    // reports EAGAIN.
    const ssize_t n = recvmsg(icmpFd_, &msg, MSG_DONTWAIT);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return Received::Nothing;
        why = errnoText("recvmsg", errno);
        return Received::Failed;
    }
    if (msg.msg_flags & MSG_TRUNC) {
        why = "datagram larger than the receive buffer";
        return Received::Skipped;
    }
    bool haveDestination = false;
    in6_pktinfo info{};
    int hopLimit = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IPV6)
            continue;
        if (c->cmsg_type == IPV6_PKTINFO && c->cmsg_len >= CMSG_LEN(sizeof info)) {
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            haveDestination = true;
        } else if (c->cmsg_type == IPV6_HOPLIMIT && c->cmsg_len >= CMSG_LEN(sizeof hopLimit)) {
            std::memcpy(&hopLimit, CMSG_DATA(c), sizeof hopLimit);
        }
    }
    if (!haveDestination) {
        why = "no destination address from the kernel";
        return Received::Skipped;
    }
    writeIp6Header(buffer.data(), Address::fromV6(from.sin6_addr.s6_addr), Address::fromV6(info.ipi6_addr.s6_addr),
                   static_cast<std::uint8_t>(hopLimit), static_cast<std::size_t>(n));
    size = kIp6HeaderSize + static_cast<std::size_t>(n);
    return Received::Packet;
}

bool RawSockets6::send(const Address& destination, std::span<const std::uint8_t> datagram, std::string& error) {
    if (!icmp6ChecksumValid(datagram))
        return sendAsIs(destination, datagram, error);

    sockaddr_in6 to = socketAddress(destination);
    const auto message = datagram.subspan(kIp6HeaderSize);
    iovec iov{const_cast<std::uint8_t*>(message.data()), message.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;

    // Source and hop limit as the header says; the interface is the route's.
    in6_pktinfo info{};
    std::memcpy(info.ipi6_addr.s6_addr, &datagram[8], 16);
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IPV6;
    c->cmsg_type = IPV6_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof info);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    const int hopLimit = datagram[7];
    c = CMSG_NXTHDR(&msg, c);
    c->cmsg_level = IPPROTO_IPV6;
    c->cmsg_type = IPV6_HOPLIMIT;
    c->cmsg_len = CMSG_LEN(sizeof hopLimit);
    std::memcpy(CMSG_DATA(c), &hopLimit, sizeof hopLimit);

    int err = 0;
    if (sendTo(icmpFd_, msg, err))
        return true;
    error = errnoText("sendmsg", err);
    return false;
}

bool RawSockets6::sendAsIs(const Address& destination, std::span<const std::uint8_t> datagram, std::string& error) {
    sockaddr_in6 to = socketAddress(destination);
    auto sendOne = [&](std::span<const std::uint8_t> bytes, int& err) {
        iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
        msghdr msg{};
        msg.msg_name = &to;
        msg.msg_namelen = sizeof to;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        return sendTo(rawFd_, msg, err);
    };
    int err = 0;
    if (sendOne(datagram, err))
        return true;
    if (err != EMSGSIZE) {
        error = errnoText("sendmsg (raw IPv6)", err);
        return false;
    }
    const std::uint32_t id = nextFragmentId_++;
    for (const Bytes& fragment : fragmentDatagram6(datagram, pathMtu(destination), id)) {
        if (!sendOne(fragment, err)) {
            error = errnoText("sendmsg (raw IPv6 fragment)", err);
            return false;
        }
    }
    return true;
}

} // namespace responder
