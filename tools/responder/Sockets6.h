#pragma once

// The IPv6 sockets: a raw ICMPv6 socket receiving echo requests and sending
// the answers from the address a rule says, and a raw IPv6 socket for the
// answers whose checksum is wrong on purpose, which the first would correct.

#include "Address.h"
#include "Sockets.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace responder {

class RawSockets6 {
public:
    RawSockets6() = default;
    ~RawSockets6();
    RawSockets6(const RawSockets6&) = delete;
    RawSockets6& operator=(const RawSockets6&) = delete;

    // Opens both sockets (needs CAP_NET_RAW); says why not in `error`.
    // After a failure, noIpv6() tells whether the kernel lacks IPv6 altogether.
    bool open(std::string& error);
    bool noIpv6() const { return noIpv6_; }

    int receiveDescriptor() const { return icmpFd_; }

    // Reads one echo request without blocking into a buffer of
    // kReceiveBufferSize: the ICMPv6 message behind an IPv6 header rebuilt
    // from its addresses and hop limit, `size` bytes in all.
    Received receive(std::span<std::uint8_t> buffer, std::size_t& size, std::string& why);

    // Sends a datagram built by ip6Datagram to `destination` from the source
    // and with the hop limit in its header. The kernel fragments it as needed,
    // or we do if its checksum is to stay wrong.
    bool send(const Address& destination, std::span<const std::uint8_t> datagram, std::string& error);

private:
    bool sendAsIs(const Address& destination, std::span<const std::uint8_t> datagram, std::string& error);

    int icmpFd_ = -1;
    int rawFd_ = -1;
    bool noIpv6_ = false;
    std::uint32_t nextFragmentId_ = 1;
};

} // namespace responder
