#pragma once

#include "icmp/TICMP.h"

#include <QTest>

Q_DECLARE_METATYPE(SocketKind)

// The data rows of a test that runs once over each kind of ICMP socket.
inline void addSocketKinds() {
    QTest::addColumn<SocketKind>("kind");
    QTest::newRow("ping socket") << SocketKind::Ping;
    QTest::newRow("raw socket") << SocketKind::Raw;
}

// The same over both families: IPv4 and IPv6 rows, in a column "ipv6".
inline void addSocketKindsAndFamilies() {
    QTest::addColumn<SocketKind>("kind");
    QTest::addColumn<bool>("ipv6");
    for (const bool ipv6 : {false, true}) {
        QTest::addRow("ping socket, %s", ipv6 ? "IPv6" : "IPv4") << SocketKind::Ping << ipv6;
        QTest::addRow("raw socket, %s", ipv6 ? "IPv6" : "IPv4") << SocketKind::Raw << ipv6;
    }
}
