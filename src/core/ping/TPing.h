#pragma once

#include "AsyncLookup.h"
#include "icmp/TICMP.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TPing;
using TPingDisplay = std::function<void(QObject* Sender, TICMP* Icmp, const QString& Msg)>;
using TPingRequest = std::function<void(QObject* Sender, TICMP* Icmp)>;
using TPingReply = std::function<void(QObject* Sender, TICMP* Icmp, int Error)>;
using TDnsLookupDone = std::function<void(QObject* Sender, std::uint16_t Error)>;
using TPingResult = std::function<void(QObject* Sender, const EchoResult& Result)>;

// The ping component: owns one echo requester, publishes its settings and
// events, and adds a host-name lookup that never blocks the caller. A dotted
// address or an IPv6 literal (also in brackets) is answered before
// StartDnsLookup returns; a name later, from the event loop.
class TPing : public QObject {
    Q_OBJECT
public:
    // The system's ICMP socket and resolver; throws TICMPException.
    explicit TPing(QObject* owner, SocketKind kind = SocketKind::Auto);
    // For tests: any requester and lookup service.
    TPing(QObject* owner, std::unique_ptr<TICMP> icmp, std::unique_ptr<IAsyncLookup> lookup);
    ~TPing() override;

    virtual void StartDnsLookup(const QString& host);
    void AbortDnsLookup();
    const QString& DnsLookupResult() const { return m_dnsLookupResult; }
    bool LookupPending() const { return m_pendingLookup != 0; }

    int SendEcho() { return m_icmp->SendEcho(); }
    void CancelEcho() { m_icmp->CancelEcho(); }
    // Ends the echo being waited for at once; it raises no OnEchoReply.
    bool InterruptEcho() { return m_icmp->InterruptEcho(); }
    bool EchoInterrupted() const { return m_icmp->EchoInterrupted(); }
    std::int64_t LastRoundTripNanos() const { return m_icmp->LastRoundTripNanos(); }
    void LastReply(TIcmpEchoReply& reply) const { reply = m_icmp->LastReply(); }
    QString StatusText() const { return m_icmp->StatusText(); }
    std::uint32_t LastStatus() const { return m_icmp->LastStatus(); }
    QString ResolvedIP() const { return m_icmp->ResolvedIP(); }
    const IpAddress& ResolvedAddress() const { return m_icmp->ResolvedAddress(); }
    // Who sent the last reply or ICMP error; None when nothing came back.
    const IpAddress& LastReplyFrom() const { return m_icmp->LastReplyFrom(); }
    // Whether a name with both families stands for its IPv6 address, in
    // lookups started from now on and at the requester's next echo.
    bool PreferIPv6() const { return m_icmp->PreferIPv6(); }
    void SetPreferIPv6(bool prefer) { m_icmp->SetPreferIPv6(prefer); }

    QString Address() const { return m_icmp->Address(); }
    void SetAddress(const QString& address) { m_icmp->SetAddress(address); }
    std::int32_t Size() const { return m_icmp->Size; }
    void SetSize(std::int32_t size) { m_icmp->Size = size; }
    std::int32_t Timeout() const { return m_icmp->Timeout; }
    void SetTimeout(std::int32_t timeout) { m_icmp->Timeout = timeout; }
    std::int32_t TTL() const { return m_icmp->TTL; }
    void SetTTL(std::int32_t ttl) { m_icmp->TTL = ttl; }
    std::int32_t Flags() const { return m_icmp->Flags; }
    void SetFlags(std::int32_t flags) { m_icmp->Flags = flags; }

    TPingDisplay OnDisplay;
    TPingRequest OnEchoRequest;
    TPingReply OnEchoReply;
    // The echo's whole outcome as one value, just before OnEchoReply.
    TPingResult OnEchoResult;
    TDnsLookupDone OnDnsLookupDone;

private:
    void bindRequester();
    void LookupDone(std::uint64_t id, std::uint16_t error, const IpAddress& address);

    std::unique_ptr<TICMP> m_icmp;
    std::unique_ptr<IAsyncLookup> m_lookup;
    std::uint64_t m_pendingLookup = 0;
    QString m_dnsLookupResult;
};
