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
