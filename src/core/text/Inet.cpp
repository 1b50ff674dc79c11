#include "Inet.h"

#include <arpa/inet.h>

namespace inet {

std::uint32_t parse(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.contains('\0'))
        return kAddrNone;
    return inet_addr(bytes.constData());
}

QString format(std::uint32_t address) {
    char buffer[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    inet_ntop(AF_INET, &a, buffer, sizeof buffer);
    return QString::fromLatin1(buffer);
}

QString hostLabel(const QString& host, const QString& address) {
    const QString typed = host.trimmed();
    if (address.isEmpty() || typed.compare(address, Qt::CaseInsensitive) == 0)
        return typed;
    return QStringLiteral("%1 (%2)").arg(typed, address);
}

} // namespace inet
