#pragma once

// The two raw sockets: one receiving ICMP echo requests with their IPv4
// header, one sending datagrams whose IPv4 header we write ourselves.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace responder {

// Room for the largest datagram either family's socket hands over: 65535
// bytes of IPv6 payload behind the 40-byte header Sockets6 rebuilds.
inline constexpr std::size_t kReceiveBufferSize = 65535 + 40;

enum class Received {
    Packet,  // `size` bytes of a datagram to a local unicast address
    Skipped, // a datagram was read but is not to be answered; `why` says why
    Nothing, // nothing (more) waiting
    Failed,  // receive error; `why` says which
};

// "what: strerror", with a hint when raw sockets lack the privilege.
std::string errnoText(const char* what, int error);

class RawSockets {
public:
    RawSockets() = default;
    ~RawSockets();
    RawSockets(const RawSockets&) = delete;
    RawSockets& operator=(const RawSockets&) = delete;

    // Opens both sockets (needs CAP_NET_RAW); says why not in `error`.
    bool open(std::string& error);

    int receiveDescriptor() const { return receiveFd_; }

    // Reads one datagram without blocking into a buffer of kReceiveBufferSize.
    Received receive(std::span<std::uint8_t> buffer, std::size_t& size, std::string& why);

    // Sends a whole IPv4 datagram to `destination` (network byte order),
    // split into fragments if it exceeds the MTU of the way there.
    bool send(std::uint32_t destination, std::span<const std::uint8_t> datagram, std::string& error);

private:
    bool sendOne(std::uint32_t destination, std::span<const std::uint8_t> datagram, int& error);

    int receiveFd_ = -1;
    int sendFd_ = -1;
    std::uint16_t nextFragmentId_ = 1;
};

} // namespace responder
