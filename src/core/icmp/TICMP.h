#pragma once

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

// Sends one ICMP echo request at a time and keeps the outcome of the last
// one: the number of replies, the first reply record and a status code.
class TICMP {
public:
    // Opens the ICMP socket; throws TICMPException "Unable to get ping handle".
    explicit TICMP(SocketKind kind = SocketKind::Auto);
    // For tests and tools: any transport and resolver.
    TICMP(std::unique_ptr<IEchoTransport> transport, std::shared_ptr<IHostResolver> resolver);
    virtual ~TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    int SendEcho();
    QString StatusText() const;
    static QString StatusText(std::uint32_t status);

    const QString& Address() const { return m_address; }
    void SetAddress(const QString& address);
    const QString& ResolvedIP() const { return m_resolvedIP; }
    const TIcmpEchoReply& LastReply() const { return m_lastReply; }
    std::uint32_t LastStatus() const { return m_lastStatus; }

    std::int32_t Size = 56;
    std::int32_t Timeout = 4000;
    std::int32_t TTL = 64;
    std::int32_t Flags = 0;

    TICMPDisplay OnDisplay;
    TICMPEchoRequest OnEchoRequest;
    TICMPEchoReply OnEchoReply;

    // The request data for a given size: the payload text, padded with blanks.
    static std::vector<std::uint8_t> EchoPayload(std::int32_t size);
    static const char EchoPayloadText[];

private:
    void ResolveAddress();
    void display(const QString& message);
    EchoResult sendChecked(const std::vector<std::uint8_t>& data);

    std::unique_ptr<IEchoTransport> m_transport;
    std::shared_ptr<IHostResolver> m_resolver;
    TIcmpEchoReply m_lastReply;
    QString m_address;
    QString m_resolvedIP;
    std::uint32_t m_targetAddress = 0;
    std::uint32_t m_lastStatus = 0;
    bool m_addressResolved = false;
};
