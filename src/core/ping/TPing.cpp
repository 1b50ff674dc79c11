#include "TPing.h"

#include "Exception.h"
#include "ThreadedLookup.h"
#include "icmp/AddressText.h"
#include "icmp/GaiResolver.h"

TPing::TPing(QObject* owner, SocketKind kind)
    : TPing(owner, std::make_unique<TICMP>(kind), std::make_unique<ThreadedLookup>(std::make_shared<GaiResolver>())) {}

TPing::TPing(QObject* owner, std::unique_ptr<TICMP> icmp, std::unique_ptr<IAsyncLookup> lookup)
    : QObject(owner), m_icmp(std::move(icmp)), m_lookup(std::move(lookup)) {
    bindRequester();
    m_lookup->setCompletion(
        [this](std::uint64_t id, std::uint16_t error, const IpAddress& address) { LookupDone(id, error, address); });
}

TPing::~TPing() {
    // A pending lookup is reported as cancelled; a destructor must not throw.
    try {
        AbortDnsLookup();
    } catch (const Exception&) {
    }
    m_lookup->setCompletion(nullptr);
}

void TPing::bindRequester() {
    m_icmp->OnDisplay = [this](TICMP* icmp, const QString& msg) {
        if (OnDisplay)
            OnDisplay(this, icmp, msg);
    };
    m_icmp->OnEchoRequest = [this](TICMP* icmp) {
        if (OnEchoRequest)
            OnEchoRequest(this, icmp);
    };
    m_icmp->OnEchoResult = [this](TICMP*, const EchoResult& result) {
        if (OnEchoResult)
            OnEchoResult(this, result);
    };
    m_icmp->OnEchoReply = [this](TICMP* icmp, int error) {
        if (OnEchoReply)
            OnEchoReply(this, icmp, error);
    };
}

void TPing::StartDnsLookup(const QString& host) {
    // 1. A lookup still pending is forgotten without an event.
    if (m_pendingLookup != 0) {
        int ignored = 0;
        m_lookup->cancel(m_pendingLookup, &ignored);
        m_pendingLookup = 0;
    }
    m_dnsLookupResult.clear();

    // 2. Dotted text is answered at once, as is an IPv6 literal.
    const std::uint32_t parsed = inet::parse(host);
    const QByteArray text = host.toUtf8();
    // An IPv4 address written as IPv6 (::ffff:a.b.c.d) is watched over IPv4.
    auto literal = IpAddress::parseV6Literal(std::string_view(text.constData(), text.size()));
    if (literal)
        literal = literal->unmapped();
    if (parsed != inet::kAddrNone || literal) {
        m_dnsLookupResult = literal ? inet::format(*literal) : inet::format(parsed);
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, 0);
        return;
    }

    // 3. A name goes to the background.
    int error = 0;
    const std::uint64_t id = m_lookup->start(text, PreferIPv6(), &error);
    if (id == 0)
        throw Exception(QString::asprintf("%s: can't start DNS lookup, error #%d", host.toUtf8().constData(), error));
    m_pendingLookup = id;
}

void TPing::AbortDnsLookup() {
    if (m_pendingLookup == 0)
        return;
    int error = 0;
    if (!m_lookup->cancel(m_pendingLookup, &error))
        throw Exception(QString::asprintf("WSACancelAsyncRequest failed, error #%d", error));
    m_pendingLookup = 0;
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, 10004);
}

void TPing::LookupDone(std::uint64_t id, std::uint16_t error, const IpAddress& address) {
    // Late answers of replaced or cancelled lookups are dropped.
    if (id == 0 || id != m_pendingLookup)
        return;
    m_pendingLookup = 0;
    if (error == 0)
        m_dnsLookupResult = inet::format(address);
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}
