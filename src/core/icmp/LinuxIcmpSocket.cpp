#include "LinuxIcmpSocket.h"

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using icmpwire::Expectation;
using icmpwire::Outcome;
using icmpwire::Verdict;

std::unique_ptr<LinuxIcmpSocket> LinuxIcmpSocket::open(SocketKind kind, int* error) {
    const icmpsocket::Opened opened = icmpsocket::open(kind, error);
    return opened.fd < 0 ? nullptr : std::unique_ptr<LinuxIcmpSocket>(new LinuxIcmpSocket(opened));
}

LinuxIcmpSocket::LinuxIcmpSocket(const icmpsocket::Opened& opened)
    : m_fd(opened.fd), m_kind(opened.kind), m_id(opened.id), m_waiter(std::make_unique<EventLoopWaiter>()) {}

LinuxIcmpSocket::~LinuxIcmpSocket() {
    ::close(m_fd);
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

bool LinuxIcmpSocket::readErrorQueue(const Expectation& expect, EchoResult& result) {
    // Only a ping socket queues ICMP errors; a raw socket reads them as packets.
    for (int i = 0; i < 256; ++i) {
        std::uint8_t quoted[576];
        icmpsocket::QueuedError error;
        const icmpsocket::QueueRead read = icmpsocket::readQueuedError(m_fd, quoted, error);
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

LinuxIcmpSocket::Read LinuxIcmpSocket::readOne(const Expectation& expect, EchoResult& result) {
    icmpsocket::Received packet;
    if (!icmpsocket::receive(m_fd, m_buffer, packet))
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? Read::Empty : Read::Ignored;
    // Longer than anything our echo can bring back: not ours.
    if (packet.truncated)
        return Read::Ignored;

    const Outcome outcome = icmpsocket::parse(m_kind, packet, expect);
    if (outcome.verdict == Verdict::Ignore)
        return Read::Ignored;
    const std::int64_t nanos = icmpsocket::roundTripNanos(m_sent, packet);
    if (outcome.verdict == Verdict::IcmpError)
        icmpsocket::fillError(outcome, nanos, result);
    else
        icmpsocket::fillReply(outcome, packet, m_kind, nanos, result);
    return Read::Done;
}

EchoResult LinuxIcmpSocket::echo(const EchoRequest& request) {
    EchoResult result;
    icmpsocket::configure(m_fd, request.ttl, request.flags);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(request.timeoutMs);
    m_sent = icmpsocket::SendTime::now();
    if (sendto(m_fd, packet.data(), packet.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        icmpsocket::fillSendError(errno, result);
        drain();
        return result;
    }

    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
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
    icmpsocket::fillTimeout(result);
    return result;
}
