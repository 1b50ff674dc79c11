#pragma once

// Decides what each echo request gets back, following the rule of the address
// it was sent to. Keeps the per-address history that loss patterns and stale
// replies depend on. Does no I/O.

#include "Forge.h"
#include "Options.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace responder {

// One datagram to send `delayMs` after the request arrived.
struct Answer {
    std::uint32_t delayMs = 0;
    Address destination;
    Bytes datagram; // whole IPv4 or IPv6 datagram
};

class Responder {
public:
    explicit Responder(Config config);

    // The answers to `request` in the order they are to be sent; `note` says
    // in a few words what was decided.
    std::vector<Answer> handle(const EchoRequest& request, std::string& note);

private:
    struct AddressState {
        std::uint64_t received = 0;
        std::optional<Bytes> previousReply; // kept only for stale rules
    };

    const Rule& ruleFor(const Address& address) const;

    Config config_;
    std::map<Address, AddressState> states_; // only local addresses get here, so it stays small
};

} // namespace responder
