#pragma once

#include "icmp/EchoTransport.h"

#include <deque>
#include <functional>
#include <vector>

// A scripted echo transport: records every request (with a copy of its data)
// and answers with the queued results, or a time-out when none is queued.
class FakeEcho : public IEchoTransport {
public:
    struct Sent {
        EchoRequest request;
        std::vector<std::uint8_t> data;
    };

    EchoResult echo(const EchoRequest& request) override {
        sent.push_back({request, {request.data.begin(), request.data.end()}});
        sent.back().request.data = sent.back().data;
        if (duringEcho)
            duringEcho();
        if (answers.empty()) {
            EchoResult timedOut;
            timedOut.status = 11010;
            return timedOut;
        }
        EchoResult next = answers.front();
        answers.pop_front();
        return next;
    }

    // A reply from `from`: an IPv4 address in network byte order, or any address.
    static EchoResult answered(std::uint32_t from, std::uint32_t rtt, std::uint16_t size, std::uint8_t ttl = 64) {
        return answered(IpAddress::fromV4(from), rtt, size, ttl);
    }
    static EchoResult answered(const IpAddress& from, std::uint32_t rtt, std::uint16_t size, std::uint8_t ttl = 64) {
        EchoResult r;
        r.replies = 1;
        r.from = from;
        r.reply.Address = from.v4();
        r.reply.RoundTripTime = rtt;
        r.reply.DataSize = size;
        r.reply.Options.Ttl = ttl;
        return r;
    }

    // The request `i` (the last one when negative), or an empty request when
    // there is no such one: a case that expected an echo then fails its
    // comparison instead of crashing the whole test program.
    const Sent& at(int i = -1) const {
        static const Sent none{};
        if (i < 0)
            return sent.empty() ? none : sent.back();
        return std::size_t(i) < sent.size() ? sent[std::size_t(i)] : none;
    }

    std::vector<Sent> sent;
    std::deque<EchoResult> answers;
    std::function<void()> duringEcho;
};
