#pragma once

#include "EchoTransport.h"

#include <functional>

// One host's echo channel: at most one echo out at a time, whose outcome
// arrives as a call of `done` (a reply, an ICMP error about it, or the
// time-out). A channel over a shared socket calls it later, from the event
// loop; a channel over a blocking transport calls it before start()
// returns. Either way `done` runs exactly once per start(), unless cancel()
// (or the channel's destruction) comes first.
class IAsyncEcho {
public:
    using Done = std::function<void(const EchoResult& result)>;
    virtual ~IAsyncEcho() = default;
    virtual void start(const EchoRequest& request, Done done) = 0;
    virtual void cancel() = 0;
};
