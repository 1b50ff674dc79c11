#pragma once

#include "EchoTransport.h"
#include "IcmpSocketParts.h"
#include "IcmpWire.h"
#include "ReadyWaiter.h"
#include "TICMP.h"

#include <memory>
#include <vector>

// The echo transport on Linux: one ICMP socket per family for the
// requester's lifetime, each an unprivileged ping socket (SOCK_DGRAM) or a
// raw socket. Both are opened at once, as a program may give up its
// capabilities right after.
class LinuxIcmpSocket : public IEchoTransport {
public:
    using Kind = icmpsocket::Kind;

    // Opens the sockets of the wanted kind (Auto: ping first, raw second).
    // Returns null with errno's value in *error (IPv4's, when both fail)
    // when neither family's opens; an echo to a family without its socket
    // ends with "General failure".
    static std::unique_ptr<LinuxIcmpSocket> open(SocketKind kind, int* error);
    ~LinuxIcmpSocket() override;

    // The IPv4 socket's kind, or the IPv6 one's when only that one opened.
    Kind kind() const { return m_v4.fd >= 0 ? m_v4.kind : m_v6.kind; }
    bool hasIPv4() const { return m_v4.fd >= 0; }
    bool hasIPv6() const { return m_v6.fd >= 0; }
    void setWaiter(std::unique_ptr<IReadyWaiter> waiter) { m_waiter = std::move(waiter); }

    EchoResult echo(const EchoRequest& request) override;

private:
    using Opened = icmpsocket::Opened;
    using Expectation = icmpsocket::Expectation;

    LinuxIcmpSocket(const Opened& v4, const Opened& v6);

    void drain(int fd);
    bool readErrorQueue(int fd, const Expectation& expect, EchoResult& result);
    enum class Read { Empty, Ignored, Done };
    Read readOne(const Opened& socket, const Expectation& expect, EchoResult& result);

    Opened m_v4;
    Opened m_v6;
    std::uint16_t m_seq = 0;
    std::unique_ptr<IReadyWaiter> m_waiter;
    std::vector<std::uint8_t> m_buffer;
    icmpsocket::SendTime m_sent; // when the current request left
};
