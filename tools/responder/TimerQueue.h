#pragma once

// Answers waiting for their time. Entries due at the same instant come out in
// the order they were added, so answers with equal delays keep request order.

#include "Address.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace responder {

class TimerQueue {
public:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        Address destination;
        std::vector<std::uint8_t> datagram;
    };

    void add(Clock::time_point due, Entry entry);

    // When the earliest entry is due; nothing if the queue is empty.
    std::optional<Clock::time_point> nextDue() const;

    // Removes and returns every entry due at or before `now`, earliest first.
    std::vector<Entry> takeDue(Clock::time_point now);

private:
    // The sequence number breaks ties between equal due times.
    std::map<std::pair<Clock::time_point, std::uint64_t>, Entry> entries_;
    std::uint64_t added_ = 0;
};

} // namespace responder
