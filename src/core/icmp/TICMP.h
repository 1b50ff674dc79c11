#pragma once

#include "AsyncEcho.h"
#include "EchoReply.h"
#include "EchoTransport.h"
#include "HostResolver.h"
#include "TICMPException.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Which kind of ICMP socket the requester opens.
enum class SocketKind {
    Auto, // the unprivileged ping socket, else the raw socket
    Ping,
    Raw
};

class TICMP;
using TICMPDisplay = std::function<void(TICMP* Sender, const QString& Msg)>;
using TICMPEchoRequest = std::function<void(TICMP* Sender)>;
using TICMPEchoReply = std::function<void(TICMP* Sender, int Error)>;
using TICMPEchoResult = std::function<void(TICMP* Sender, const EchoResult& Result)>;

// Sends one ICMP echo request at a time and keeps the outcome of the last
// one: the number of replies, the first reply record and a status code.
class TICMP {
public:
    // Opens the ICMP socket; throws TICMPException "Unable to get ping handle".
    explicit TICMP(SocketKind kind = SocketKind::Auto);
    // For tests and tools: any transport and resolver.
    TICMP(std::unique_ptr<IEchoTransport> transport, std::shared_ptr<IHostResolver> resolver);
    // Over an asynchronous channel: SendEcho() returns at once and the
    // outcome comes later, through OnEchoReply.
    TICMP(std::unique_ptr<IAsyncEcho> channel, std::shared_ptr<IHostResolver> resolver);
    virtual ~TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    // Sends one echo. A blocking transport waits for its outcome and returns
    // the number of replies; an asynchronous channel returns 0 at once, and
    // OnEchoReply tells the outcome either way.
    int SendEcho();
    // Forgets an echo still out on an asynchronous channel: it ends without
    // an OnEchoReply.
    void CancelEcho();
    bool EchoPending() const { return m_pending; }
    // Ends the echo that a blocking transport is waiting for, from an event
    // handled during the wait (Stop): the wait ends at once and SendEcho()
    // returns 0 without an OnEchoReply, as for a cancelled echo; the echo
    // has no outcome. Returns whether an echo was being waited for.
    bool InterruptEcho();
    // Whether the last echo ended so.
    bool EchoInterrupted() const { return m_interrupted; }
    QString StatusText() const;
    static QString StatusText(std::uint32_t status);

    // A dotted IPv4 address (classic forms too), an IPv6 literal (also in
    // brackets) or a name.
    const QString& Address() const { return m_address; }
    void SetAddress(const QString& address);
    // Whether a name with both families stands for its IPv6 address; a
    // change takes effect at the next echo.
    bool PreferIPv6() const { return m_preferIPv6; }
    void SetPreferIPv6(bool prefer);
    // The address echoed, in its canonical text.
    const QString& ResolvedIP() const { return m_resolvedIP; }
    const IpAddress& ResolvedAddress() const { return m_target; }
    // The record of the last echo; its Address is 0 for IPv6.
    const TIcmpEchoReply& LastReply() const { return m_lastReply; }
    // Who sent the last reply or ICMP error; None when nothing came back.
    const IpAddress& LastReplyFrom() const { return m_lastFrom; }
    std::uint32_t LastStatus() const { return m_lastStatus; }
    // The round trip of the last reply in nanoseconds; -1 without one.
    std::int64_t LastRoundTripNanos() const { return m_lastNanos; }

    std::int32_t Size = 56;
    std::int32_t Timeout = 4000;
    std::int32_t TTL = 64;
    std::int32_t Flags = 0;

    TICMPDisplay OnDisplay;
    TICMPEchoRequest OnEchoRequest;
    TICMPEchoReply OnEchoReply;
    // The echo's whole outcome as one value, just before OnEchoReply.
    TICMPEchoResult OnEchoResult;

    // The request data for a given size: the payload text, padded with blanks.
    static std::vector<std::uint8_t> EchoPayload(std::int32_t size);
    static const char EchoPayloadText[];

private:
    void ResolveAddress();
    void display(const QString& message);
    // Values the network cannot carry, as the outcome they end with at once.
    bool refused(EchoResult& result) const;
    std::size_t maxPayload() const;
    EchoRequest request(const std::vector<std::uint8_t>& data) const;
    void finish(const EchoResult& outcome);

    std::unique_ptr<IEchoTransport> m_transport;
    std::unique_ptr<IAsyncEcho> m_channel;
    std::vector<std::uint8_t> m_data; // the payload of the echo out
    std::int64_t m_lastNanos = -1;
    bool m_pending = false;
    bool m_waiting = false; // inside the blocking transport's echo
    bool m_interrupted = false;
    std::shared_ptr<IHostResolver> m_resolver;
    TIcmpEchoReply m_lastReply;
    QString m_address;
    QString m_resolvedIP;
    IpAddress m_target;
    IpAddress m_lastFrom;
    std::uint32_t m_lastStatus = 0;
    bool m_addressResolved = false;
    bool m_preferIPv6 = false;
};
