#pragma once

#include <QString>

#include <cstdint>

// The classic dotted-address rules: short and hexadecimal/octal forms are
// accepted, and "255.255.255.255" parses to the same value as a failure.
namespace inet {

inline constexpr std::uint32_t kAddrNone = 0xFFFFFFFFu;

// inet_addr: network byte order, kAddrNone for text that is no address.
std::uint32_t parse(const QString& text);
// inet_ntoa: the normal dotted form.
QString format(std::uint32_t address);
// (Either family's canonical text: icmp/AddressText.h.)

// The host as typed with its address in canonical text beside it, as
// "[FD77:0:0::2] (fd77::2)"; the host alone when the address is not known
// or is what was typed.
QString hostLabel(const QString& host, const QString& address);

} // namespace inet
