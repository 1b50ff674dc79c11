#pragma once

// The local side of an outage: the route the kernel would take to a host,
// its gateway and interface, and whether that interface's link is up, read
// over rtnetlink in a few microseconds.

#include "icmp/IpAddress.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

struct RouteInfo {
    bool route = false; // the kernel has a route to the target
    IpAddress source;   // the source address it would send from
    IpAddress gateway;  // none when the target is on the local network; an
                        // IPv6 link-local gateway carries the interface
    int ifindex = 0;
    QString interface;
    bool linkUp = false; // up, with carrier, and operationally up
    // The errno value of the step that failed: with route false, the
    // kernel's answer (ENETUNREACH: no route) or why it could not be asked;
    // with route true, why the link could not be read.
    int error = 0;

    friend bool operator==(const RouteInfo&, const RouteInfo&) = default;
};

// The seam for the kernel's routing table, for targets of either family.
class IRouteSource {
public:
    virtual ~IRouteSource() = default;
    virtual RouteInfo lookup(const IpAddress& target) = 0;
};

// Asks the kernel over one NETLINK_ROUTE socket: RTM_GETROUTE for the
// target, then RTM_GETLINK for the route's interface. Each answer must come
// within 200 ms and carry its request's sequence number; an answer to an
// earlier, timed-out request is skipped. Not for use by two threads at once.
class NetlinkRouteSource final : public IRouteSource {
public:
    NetlinkRouteSource() = default;
    ~NetlinkRouteSource() override;
    NetlinkRouteSource(const NetlinkRouteSource&) = delete;
    NetlinkRouteSource& operator=(const NetlinkRouteSource&) = delete;

    RouteInfo lookup(const IpAddress& target) override;

private:
    bool open(int* error);
    // Sends a request of `type` and waits for its answer; returns the
    // payload of the answer of type `wanted`, or sets *error.
    std::span<const std::uint8_t> exchange(std::uint16_t type, std::span<const std::uint8_t> body, std::uint16_t wanted,
                                           int* error);

    int m_fd = -1;
    std::uint32_t m_port = 0; // the socket's netlink port, in every answer to it
    std::uint32_t m_seq = 0;
    std::array<std::uint8_t, 32768> m_buffer{};
};

// The cause an outage is put down to, from the route to the host and, for a
// route through a gateway, whether that gateway answers its own echoes
// (nullopt: not known yet). Empty when it cannot be told.
QString diagnoseCause(const RouteInfo& route, std::optional<bool> gatewayAnswers);
