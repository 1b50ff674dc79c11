#include "TICMP.h"

#include "GaiResolver.h"
#include "IcmpWire.h"
#include "LinuxIcmpSocket.h"
#include "ReadyWaiter.h"
#include "icmp/AddressText.h"

#include <algorithm>
#include <cstring>

const char TICMP::EchoPayloadText[] = "Echo request data text of the ping requester.";

namespace {

std::unique_ptr<IEchoTransport> openTransport(SocketKind kind) {
    int error = 0;
    auto socket = LinuxIcmpSocket::open(kind, &error);
    if (!socket)
        throw TICMPException(QStringLiteral("Unable to get ping handle"));
    return socket;
}

} // namespace

TICMP::TICMP(SocketKind kind) : TICMP(openTransport(kind), std::make_shared<GaiResolver>()) {}

TICMP::TICMP(std::unique_ptr<IEchoTransport> transport, std::shared_ptr<IHostResolver> resolver)
    : m_transport(std::move(transport)), m_resolver(std::move(resolver)) {}

TICMP::TICMP(std::unique_ptr<IAsyncEcho> channel, std::shared_ptr<IHostResolver> resolver)
    : m_channel(std::move(channel)), m_resolver(std::move(resolver)) {}

TICMP::~TICMP() {
    CancelEcho();
}

void TICMP::CancelEcho() {
    if (m_channel && m_pending)
        m_channel->cancel();
    m_pending = false;
}

bool TICMP::InterruptEcho() {
    if (!m_waiting)
        return false;
    if (!m_interrupted) {
        m_interrupted = true;
        EventLoopWaiter::interruptWait();
    }
    return true;
}

void TICMP::SetAddress(const QString& address) {
    if (address == m_address)
        return;
    m_address = address;
    m_addressResolved = false;
}

void TICMP::SetPreferIPv6(bool prefer) {
    if (prefer == m_preferIPv6)
        return;
    m_preferIPv6 = prefer;
    m_addressResolved = false;
}

void TICMP::display(const QString& message) {
    if (OnDisplay)
        OnDisplay(this, message);
}

void TICMP::ResolveAddress() {
    // Dotted text keeps the classic rules; "255.255.255.255", which they
    // cannot tell from a failure, goes to the resolver as a name.
    const std::uint32_t dotted = inet::parse(m_address);
    const QByteArray text = m_address.toUtf8();
    if (dotted != inet::kAddrNone) {
        m_target = IpAddress::fromV4(dotted);
    } else if (const auto literal = IpAddress::parseV6Literal(std::string_view(text.constData(), text.size()))) {
        m_target = *literal;
    } else {
        m_target = {};
        const LookupAnswer answer = m_resolver->lookup(text, m_preferIPv6);
        if (answer.error != 0) {
            m_lastStatus = answer.error;
            display(QStringLiteral("Unable to resolve ") + m_address);
            return;
        }
        m_target = answer.address;
    }
    m_resolvedIP = inet::format(m_target);
    m_addressResolved = true;
}

std::vector<std::uint8_t> TICMP::EchoPayload(std::int32_t size) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max(size, 0)), ' ');
    const std::size_t textLength = std::strlen(EchoPayloadText);
    std::copy_n(EchoPayloadText, std::min(data.size(), textLength), data.begin());
    return data;
}

std::size_t TICMP::maxPayload() const {
    return m_target.isV6() ? icmpwire::v6::kMaxPayload : icmpwire::kMaxPayload;
}

// Values the network cannot carry end the echo at once with a status of their
// own instead of reaching the socket.
bool TICMP::refused(EchoResult& result) const {
    if (Size < 0)
        result.status = 11011; // Bad request
    else if (static_cast<std::size_t>(Size) > maxPayload())
        result.status = 11009; // Packet too big
    else if (Timeout <= 0)
        result.status = 11010; // Request timed out
    else if ((TTL & 0xFF) == 0)
        result.status = 11013; // TTL expired in transit
    else
        return false;
    return true;
}

EchoRequest TICMP::request(const std::vector<std::uint8_t>& data) const {
    return EchoRequest{m_target, data, static_cast<std::uint8_t>(TTL & 0xFF), static_cast<std::uint8_t>(Flags & 0xFF),
                       Timeout};
}

void TICMP::finish(const EchoResult& outcome) {
    m_pending = false;
    m_lastStatus = outcome.status;
    m_lastReply = outcome.reply;
    m_lastFrom = outcome.from;
    m_lastNanos = outcome.replies > 0 ? outcome.roundTripNanos : -1;
    if (OnEchoResult)
        OnEchoResult(this, outcome);
    if (OnEchoReply)
        OnEchoReply(this, outcome.replies);
}

int TICMP::SendEcho() {
    CancelEcho();
    m_interrupted = false;
    m_lastStatus = 0;
    if (!m_addressResolved)
        ResolveAddress();
    // No echo can go to no address, nor to IPv4's all-ones one.
    if (!m_target.valid() || (m_target.isV4() && m_target.v4() == inet::kAddrNone)) {
        m_lastStatus = 11018;
        display(QStringLiteral("Invalid host address"));
        return 0;
    }

    // No buffer for a size the network cannot carry: it could be gigabytes.
    const bool sizeFits = Size >= 0 && static_cast<std::size_t>(Size) <= maxPayload();
    m_data = sizeFits ? EchoPayload(Size) : std::vector<std::uint8_t>{};
    if (OnEchoRequest)
        OnEchoRequest(this);

    EchoResult outcome;
    if (refused(outcome)) {
        finish(outcome);
        return 0;
    }
    if (m_channel) {
        m_pending = true;
        m_channel->start(request(m_data), [this](const EchoResult& result) { finish(result); });
        return 0;
    }
    m_waiting = true;
    outcome = m_transport->echo(request(m_data));
    m_waiting = false;
    if (m_interrupted) {
        m_lastNanos = -1;
        return 0;
    }
    finish(outcome);
    return outcome.replies;
}

QString TICMP::StatusText() const {
    return StatusText(m_lastStatus);
}

QString TICMP::StatusText(std::uint32_t status) {
    static const struct {
        std::uint32_t code;
        const char* text;
    } table[] = {
        {0, "No error"},
        {11001, "Buffer too small"},
        {11002, "Destination network unreachable"},
        {11003, "Destination host unreachable"},
        {11004, "Destination protocol unreachable"},
        {11005, "Destination port unreachable"},
        {11006, "No resources"},
        {11007, "Bad option"},
        {11008, "Hardware error"},
        {11009, "Packet too big"},
        {11010, "Request timed out"},
        {11011, "Bad request"},
        {11012, "Bad route"},
        {11013, "TTL expired in transit"},
        {11014, "TTL expired in reassembly"},
        {11015, "Parameter problem"},
        {11016, "Source quench"},
        {11017, "Option too big"},
        {11018, "Bad Destination"},
        {11019, "Address deleted"},
        {11020, "Spec MTU change"},
        {11021, "MTU change"},
        {11050, "General failure"},
        {11255, "Pending"},
    };
    for (const auto& row : table)
        if (row.code == status)
            return QString::fromLatin1(row.text);
    return QStringLiteral("ICMP error #") + QString::number(status);
}
