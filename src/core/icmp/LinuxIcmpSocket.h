#pragma once

#include "EchoTransport.h"
#include "IcmpSocketParts.h"
#include "IcmpWire.h"
#include "ReadyWaiter.h"
#include "TICMP.h"

#include <memory>
#include <vector>

// The echo transport on Linux: one ICMP socket for the requester's lifetime,
// an unprivileged ping socket (SOCK_DGRAM) or a raw socket.
class LinuxIcmpSocket : public IEchoTransport {
public:
    using Kind = icmpsocket::Kind;

    // Opens a socket of the wanted kind (Auto: ping first, raw second).
    // Returns null with errno's value in *error when none can be opened.
    static std::unique_ptr<LinuxIcmpSocket> open(SocketKind kind, int* error);
    ~LinuxIcmpSocket() override;

    Kind kind() const { return m_kind; }
    void setWaiter(std::unique_ptr<IReadyWaiter> waiter) { m_waiter = std::move(waiter); }

    EchoResult echo(const EchoRequest& request) override;

private:
    explicit LinuxIcmpSocket(const icmpsocket::Opened& opened);

    void drain();
    bool readErrorQueue(const icmpwire::Expectation& expect, EchoResult& result);
    enum class Read { Empty, Ignored, Done };
    Read readOne(const icmpwire::Expectation& expect, EchoResult& result);

    int m_fd;
    Kind m_kind;
    std::uint16_t m_id;
    std::uint16_t m_seq = 0;
    std::unique_ptr<IReadyWaiter> m_waiter;
    std::vector<std::uint8_t> m_buffer;
    icmpsocket::SendTime m_sent; // when the current request left
};
