#pragma once

#include "AsyncEcho.h"
#include "IcmpSocketParts.h"
#include "TICMP.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QSocketNotifier;
class EchoMuxChannel;

// Echoes to many hosts at once over one non-blocking ICMP socket per family
// (ICMP for IPv4, ICMPv6 for IPv6), on the event loop: each host gets a
// channel (IAsyncEcho), every echo in flight its own sequence number, and
// one timer watches the earliest deadline.
// A reply or ICMP error ends the echo whose sequence number it carries
// only if everything else matches that echo too (source, identifier, data);
// anything else is dropped. `done` always runs from the event loop; a
// channel's start() while its echo is out cancels that one. Channels and the
// mux may end in either order: a channel that outlives its mux fails its
// echoes with status 11050, as do the echoes in flight when the mux goes.
// The mux may be destroyed from inside a channel's `done`.
class EchoMux : public QObject {
    Q_OBJECT
public:
    using Kind = icmpsocket::Kind;

    // Opens both families' sockets as LinuxIcmpSocket does (Auto: ping
    // first, raw second). Returns null with errno's value in *error (IPv4's,
    // when both fail) when neither opens; an echo to a family without its
    // socket fails with "General failure".
    static std::unique_ptr<EchoMux> open(SocketKind kind, int* error);
    ~EchoMux() override;

    // The IPv4 socket's kind, or the IPv6 one's when only that one opened.
    Kind kind() const { return m_v4.opened.fd >= 0 ? m_v4.opened.kind : m_v6.opened.kind; }
    bool hasIPv4() const { return m_v4.opened.fd >= 0; }
    bool hasIPv6() const { return m_v6.opened.fd >= 0; }
    // A new channel on this socket, with no echo out.
    std::unique_ptr<IAsyncEcho> channel();
    // Echoes sent and not ended yet.
    std::size_t inFlight() const { return m_pending.size(); }

private:
    friend class EchoMuxChannel;
    using Clock = std::chrono::steady_clock;
    using Deadlines = std::multimap<Clock::time_point, std::uint16_t>;

    // One family's socket, with the options it is set to (-1 before the
    // first send) and its notifier.
    struct Socket {
        icmpsocket::Opened opened;
        int ttl = -1;
        int dontFragment = -1;
        std::unique_ptr<QSocketNotifier> notifier;
    };

    struct Pending {
        EchoMuxChannel* channel = nullptr;
        IpAddress target;
        std::vector<std::uint8_t> data;
        icmpsocket::SendTime sent;
        Deadlines::iterator deadline;
        std::optional<EchoResult> answer; // read, not yet passed on
    };

    EchoMux(const icmpsocket::Opened& v4, const icmpsocket::Opened& v6);
    void watch(Socket& socket);

    // Sends the channel's request: true with its sequence number in `seq`,
    // or false with the failure in `result` when it could not be sent.
    bool send(EchoMuxChannel* channel, const EchoRequest& request, std::uint16_t& seq, EchoResult& result);
    void forget(EchoMuxChannel* channel, std::uint16_t seq);

    void readable();
    void timerFired();
    // Reads what has come in and keeps the answers for deliver(). Returns
    // whether there are any.
    bool collect();
    void readQueuedErrors(const Socket& socket);
    void readDatagrams(const Socket& socket);
    // The echo in flight that a message on `socket` names by `seq`, if any
    // and not answered yet.
    Pending* awaiting(const Socket& socket, std::optional<std::uint16_t> seq);
    void answer(std::uint16_t seq, Pending& pending, const EchoResult& result);
    // Each returns false when a `done` destroyed the mux.
    bool deliver();
    bool complete(std::uint16_t seq, const EchoResult& result);
    void arm();

    Socket m_v4;
    Socket m_v6;
    std::uint16_t m_seq = 0;
    QTimer m_timer;
    std::unordered_map<std::uint16_t, Pending> m_pending;
    Deadlines m_deadlines;
    std::vector<std::uint16_t> m_answered; // in the order they came
    int m_sendsSinceCollect = 0;
    std::vector<std::uint8_t> m_buffer;
};
