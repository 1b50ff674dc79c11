#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

namespace metrics {

// Where the metrics endpoint listens.
struct ListenAddress {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;
};

// Reads "[ADDR:]PORT" or "[IPv6]:PORT": a literal address (IPv4, or IPv6 in
// brackets), 127.0.0.1 when only the port is given, and a port 1..65535.
// On bad input returns nullopt and says why in `error`.
std::optional<ListenAddress> parseListenAddress(const QString& text, QString* error);

// "127.0.0.1:9100", "[::1]:9100".
QString formatListenAddress(const ListenAddress& listen);

} // namespace metrics
