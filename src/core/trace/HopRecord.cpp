#include "HopRecord.h"

#include <algorithm>
#include <cstdlib>

bool HopRecord::take(const TraceProbe& probe) {
    ++m_sent;
    if (!probe.answered() || !probe.from.valid())
        return false;
    ++m_answered;
    auto begin = m_responders.begin();
    auto end = begin + m_count;
    auto it = std::find_if(begin, end, [&](const Responder& r) { return r.address == probe.from; });
    bool changed = false;
    if (it == end) {
        changed = m_count > 0;
        if (m_count < MaxResponders) {
            ++m_count;
        } else {
            // The one not seen for longest makes room.
            it = std::min_element(begin, end,
                                  [](const Responder& a, const Responder& b) { return a.lastSeenMs < b.lastSeenMs; });
        }
        *it = Responder{};
        it->address = probe.from;
    }
    Responder& r = *it;
    const std::int64_t rtt = std::max<std::int64_t>(probe.roundTripMicros, 0);
    if (r.answers > 0)
        r.jitterMicros += (double(std::llabs(rtt - r.lastMicros)) - r.jitterMicros) / 16.0;
    ++r.answers;
    r.lastMicros = rtt;
    r.bestMicros = r.bestMicros < 0 ? rtt : std::min(r.bestMicros, rtt);
    r.worstMicros = std::max(r.worstMicros, rtt);
    r.sumMicros += rtt;
    r.lastSeenMs = probe.sentMs;
    m_last = probe.from;
    // The one that answered most stays first.
    std::stable_sort(m_responders.begin(), m_responders.begin() + m_count,
                     [](const Responder& a, const Responder& b) { return a.answers > b.answers; });
    return changed;
}

void HopRecord::forgetSilent(std::int64_t beforeMs) {
    auto end = std::remove_if(m_responders.begin(), m_responders.begin() + m_count,
                              [beforeMs](const Responder& r) { return r.lastSeenMs < beforeMs; });
    m_count = static_cast<int>(end - m_responders.begin());
}
