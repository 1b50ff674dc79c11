#include "TimerQueue.h"

namespace responder {

void TimerQueue::add(Clock::time_point due, Entry entry) {
    entries_.emplace(std::make_pair(due, added_++), std::move(entry));
}

std::optional<TimerQueue::Clock::time_point> TimerQueue::nextDue() const {
    if (entries_.empty())
        return std::nullopt;
    return entries_.begin()->first.first;
}

std::vector<TimerQueue::Entry> TimerQueue::takeDue(Clock::time_point now) {
    std::vector<Entry> due;
    auto it = entries_.begin();
    while (it != entries_.end() && it->first.first <= now) {
        due.push_back(std::move(it->second));
        it = entries_.erase(it);
    }
    return due;
}

} // namespace responder
