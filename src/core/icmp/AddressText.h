#pragma once

#include "icmp/IpAddress.h"
#include "text/Inet.h"

#include <QString>

// An address of either family in its canonical text, beside the classic
// dotted-address rules of text/Inet.h (which knows nothing of IpAddress).
namespace inet {

inline QString format(const IpAddress& address) {
    return QString::fromStdString(address.text());
}

} // namespace inet
