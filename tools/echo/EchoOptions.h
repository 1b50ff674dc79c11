#pragma once

#include "icmp/TICMP.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The command line of linkvigil-echo.
struct EchoOptions {
    std::int32_t size = 56;
    std::int32_t ttl = 64;
    std::int32_t flags = 0;
    std::int32_t timeout = 4000;
    std::int32_t count = 1;
    std::int32_t interval = 1000;
    SocketKind socket = SocketKind::Auto;
    bool preferIPv6 = false; // a name with both families stands for its IPv6 address
    bool trace = false;      // rounds of the path to the host instead of echoes
    QString host;
};

// Parses the arguments after the program name; on failure returns nothing
// and sets *error to the reason.
std::optional<EchoOptions> parseEchoOptions(const QStringList& arguments, QString* error);

extern const char kEchoUsage[];
