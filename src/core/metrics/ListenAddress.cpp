#include "ListenAddress.h"

#include <algorithm>

namespace metrics {

namespace {

std::optional<quint16> parsePort(const QString& text) {
    // Digits only: toUInt alone would also take a sign or blanks.
    if (text.isEmpty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const uint port = text.toUInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

} // namespace

std::optional<ListenAddress> parseListenAddress(const QString& text, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<ListenAddress> {
        *error = QStringLiteral("Invalid listen address '%1': %2").arg(text, why);
        return std::nullopt;
    };
    const QString trimmed = text.trimmed();
    const bool bracketed = trimmed.startsWith(u'[');
    QString host;
    QString port = trimmed;
    if (bracketed) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0 || trimmed.mid(close + 1, 1) != u":")
            return fail(QStringLiteral("expected [IPv6]:PORT"));
        host = trimmed.mid(1, close - 1);
        port = trimmed.mid(close + 2);
    } else if (const qsizetype colon = trimmed.lastIndexOf(u':'); colon >= 0) {
        host = trimmed.left(colon);
        if (host.contains(u':'))
            return fail(QStringLiteral("an IPv6 address goes in brackets, as in [::1]:9100"));
        if (host.isEmpty())
            return fail(QStringLiteral("no address before ':'"));
        port = trimmed.mid(colon + 1);
    }

    ListenAddress listen;
    if (!host.isEmpty()) {
        // A literal address only: the endpoint never waits on a name lookup.
        // IPv4 in its four dotted parts only: the short forms ("127.1",
        // "1.2.3") name another address than the one written.
        const bool known = listen.address.setAddress(host);
        const bool ipv6 = listen.address.protocol() == QAbstractSocket::IPv6Protocol;
        if (!known || bracketed != ipv6 || (!ipv6 && listen.address.toString() != host))
            return fail(QStringLiteral("'%1' is not an IP address").arg(host));
    }
    const auto number = parsePort(port);
    if (!number)
        return fail(QStringLiteral("the port must be a number from 1 to 65535"));
    listen.port = *number;
    return listen;
}

QString formatListenAddress(const ListenAddress& listen) {
    const QString host = listen.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + listen.address.toString() + u']'
                             : listen.address.toString();
    return host + u':' + QString::number(listen.port);
}

} // namespace metrics
