#include "Sockets.h"

#include "Forge.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/icmp.h>

namespace responder {

namespace {

constexpr int kReceiveBufferBytes = 1 << 20;
constexpr std::size_t kFallbackMtu = 576;
constexpr std::size_t kMinMtu = 68;

sockaddr_in socketAddress(std::uint32_t address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    return sa;
}

// The MTU the kernel knows for the way to `destination`, asked through a
// connected UDP socket, which sends nothing.
std::size_t pathMtu(std::uint32_t destination) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kFallbackMtu;
    sockaddr_in sa = socketAddress(destination);
    sa.sin_port = htons(9); // discard; any port will do for a route lookup
    int mtu = 0;
    socklen_t len = sizeof mtu;
    std::size_t result = kFallbackMtu;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 &&
        getsockopt(fd, IPPROTO_IP, IP_MTU, &mtu, &len) == 0 && mtu >= static_cast<int>(kMinMtu))
        result = static_cast<std::size_t>(mtu);
    close(fd);
    return result;
}

} // namespace

std::string errnoText(const char* what, int error) {
    std::string text = std::string(what) + ": " + std::strerror(error);
    if (error == EPERM || error == EACCES)
        text += " (raw sockets need root or CAP_NET_RAW)";
    return text;
}

RawSockets::~RawSockets() {
    if (receiveFd_ >= 0)
        close(receiveFd_);
    if (sendFd_ >= 0)
        close(sendFd_);
}

bool RawSockets::open(std::string& error) {
    receiveFd_ = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (receiveFd_ < 0) {
        error = errnoText("raw ICMP socket", errno);
        return false;
    }
    // Keep most other ICMP traffic away. The kernel lets types 32 and above
    // pass any filter, so the parser still checks every type.
    icmp_filter filter{};
    filter.data = ~(1u << ICMP_ECHO);
    if (setsockopt(receiveFd_, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0) {
        error = errnoText("ICMP_FILTER", errno);
        return false;
    }
    // The local address a datagram was delivered for tells unicast requests
    // from broadcast ones.
    const int on = 1;
    if (setsockopt(receiveFd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        error = errnoText("IP_PKTINFO", errno);
        return false;
    }
    // Bursts of large requests should not overflow the default buffer; a
    // smaller system limit is fine too.
    setsockopt(receiveFd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);

    // IPPROTO_RAW implies IP_HDRINCL: we write the IPv4 header, so we choose
    // the source address. The kernel fills in the identifier when it is 0 and
    // always recomputes the header checksum and total length.
    sendFd_ = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (sendFd_ < 0) {
        error = errnoText("raw IP socket", errno);
        return false;
    }
    nextFragmentId_ = static_cast<std::uint16_t>(getpid() ^ std::time(nullptr));
    return true;
}

Received RawSockets::receive(std::span<std::uint8_t> buffer, std::size_t& size, std::string& why) {
    sockaddr_in from{};
    iovec iov{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;

    const ssize_t n = recvmsg(receiveFd_, &msg, MSG_DONTWAIT);
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
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO || c->cmsg_len < CMSG_LEN(sizeof(in_pktinfo)))
            continue;
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        // For a datagram to one of our unicast addresses the kernel reports
        // that address as the local one; for a broadcast it reports another.
        if (info.ipi_spec_dst.s_addr != info.ipi_addr.s_addr) {
            why = "not sent to a local unicast address";
            return Received::Skipped;
        }
    }
    size = static_cast<std::size_t>(n);
    return Received::Packet;
}

bool RawSockets::sendOne(std::uint32_t destination, std::span<const std::uint8_t> datagram, int& error) {
    const sockaddr_in to = socketAddress(destination);
    for (;;) {
        const ssize_t n =
            sendto(sendFd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (n >= 0)
            return true;
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

bool RawSockets::send(std::uint32_t destination, std::span<const std::uint8_t> datagram, std::string& error) {
    int err = 0;
    if (sendOne(destination, datagram, err))
        return true;
    if (err != EMSGSIZE) {
        error = errnoText("sendto", err);
        return false;
    }
    // With IP_HDRINCL the kernel does not fragment; we do. The identifier
    // must be ours and not 0, or the kernel would give each fragment its own.
    if (nextFragmentId_ == 0)
        ++nextFragmentId_;
    const std::uint16_t id = nextFragmentId_++;
    for (const Bytes& fragment : fragmentDatagram(datagram, pathMtu(destination), id)) {
        if (!sendOne(destination, fragment, err)) {
            error = errnoText("sendto (fragment)", err);
            return false;
        }
    }
    return true;
}

} // namespace responder
