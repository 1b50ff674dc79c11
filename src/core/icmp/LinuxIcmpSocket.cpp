#include "LinuxIcmpSocket.h"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

using icmpsocket::Outcome;
using icmpwire::Verdict;

std::unique_ptr<LinuxIcmpSocket> LinuxIcmpSocket::open(SocketKind kind, int* error) {
    int error4 = 0;
    int error6 = 0;
    const Opened v4 = icmpsocket::open(kind, IpAddress::Family::V4, &error4);
    const Opened v6 = icmpsocket::open(kind, IpAddress::Family::V6, &error6);
    if (v4.fd < 0 && v6.fd < 0) {
        if (error)
            *error = error4;
        return nullptr;
    }
    return std::unique_ptr<LinuxIcmpSocket>(new LinuxIcmpSocket(v4, v6));
}

LinuxIcmpSocket::LinuxIcmpSocket(const Opened& v4, const Opened& v6)
    : m_v4(v4), m_v6(v6), m_waiter(std::make_unique<EventLoopWaiter>()) {}

LinuxIcmpSocket::~LinuxIcmpSocket() {
    for (const int fd : {m_v4.fd, m_v6.fd})
        if (fd >= 0)
            ::close(fd);
}

void LinuxIcmpSocket::drain(int fd) {
    std::uint8_t scratch[64];
    for (const int flags : {int{MSG_DONTWAIT | MSG_ERRQUEUE}, int{MSG_DONTWAIT}}) {
        // Bounded, so a flood cannot hold the sender here.
        for (int i = 0; i < 4096; ++i) {
            const ssize_t n = recv(fd, scratch, sizeof scratch, flags);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
        }
    }
}

bool LinuxIcmpSocket::readErrorQueue(int fd, const Expectation& expect, EchoResult& result) {
    // Only a ping socket queues ICMP errors; a raw socket reads them as packets.
    for (int i = 0; i < 256; ++i) {
        std::uint8_t quoted[576];
        icmpsocket::QueuedError error;
        const icmpsocket::QueueRead read = icmpsocket::readQueuedError(fd, quoted, error);
        if (read == icmpsocket::QueueRead::Empty)
            return false;
        if (read != icmpsocket::QueueRead::Icmp)
            continue;
        const Outcome outcome = icmpsocket::parse(error, expect);
        if (outcome.verdict == Verdict::IcmpError) {
            icmpsocket::fillError(outcome, icmpsocket::roundTripNanos(m_sent, {}), result);
            return true;
        }
    }
    return false;
}

LinuxIcmpSocket::Read LinuxIcmpSocket::readOne(const Opened& socket, const Expectation& expect, EchoResult& result) {
    icmpsocket::Received packet;
    if (!icmpsocket::receive(socket.fd, m_buffer, packet))
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? Read::Empty : Read::Ignored;
    // Longer than anything our echo can bring back: not ours.
    if (packet.truncated)
        return Read::Ignored;

    const Outcome outcome = icmpsocket::parse(socket.kind, packet, expect);
    if (outcome.verdict == Verdict::Ignore)
        return Read::Ignored;
    const std::int64_t nanos = icmpsocket::roundTripNanos(m_sent, packet);
    if (outcome.verdict == Verdict::IcmpError)
        icmpsocket::fillError(outcome, nanos, result);
    else
        icmpsocket::fillReply(outcome, nanos, result);
    return Read::Done;
}

EchoResult LinuxIcmpSocket::echo(const EchoRequest& request) {
    EchoResult result;
    const Opened& socket = request.target.isV6() ? m_v6 : m_v4;
    if (socket.fd < 0 || !request.target.valid()) {
        icmpsocket::fillNoSocket(result);
        return result;
    }
    icmpsocket::configure(socket, request.ttl, request.flags);
    drain(socket.fd);

    ++m_seq;
    const Expectation expect{request.target, socket.id, m_seq, request.data};
    const std::vector<std::uint8_t> packet = icmpsocket::buildRequest(socket, m_seq, request.data);
    // Room for the largest header and our echo and one byte more, so that a
    // longer datagram shows as truncated.
    m_buffer.resize(
        icmpwire::kMaxIpHeaderSize + packet.size() + 1 > 1024 ? icmpwire::kMaxIpHeaderSize + packet.size() + 1 : 1024);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(request.timeoutMs);
    m_sent = icmpsocket::SendTime::now();
    if (!icmpsocket::sendTo(socket.fd, packet, request.target)) {
        icmpsocket::fillSendError(errno, result);
        drain(socket.fd);
        return result;
    }

    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        m_waiter->waitReady(socket.fd, static_cast<int>(left));
        if (m_waiter->abandoned())
            break;
        if (socket.kind == Kind::Ping && readErrorQueue(socket.fd, expect, result))
            return result;
        // Everything that is queued now, but no more than a bounded number,
        // so the deadline is looked at again even under a flood.
        for (int i = 0; i < 256; ++i) {
            const Read read = readOne(socket, expect, result);
            if (read == Read::Done)
                return result;
            if (read == Read::Empty)
                break;
        }
    }
    icmpsocket::fillTimeout(result);
    return result;
}
