#include "history/HistoryViewport.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kDayMs = 86'400'000;
}

HistoryViewport::HistoryViewport() : m_first(0), m_now(kDayMs), m_from(0), m_to(kDayMs), m_wanted(kDayMs) {}

qint64 HistoryViewport::maxSpanMs() const {
    return std::max(MinSpanMs, m_now - m_first);
}

void HistoryViewport::setExtent(qint64 firstMs, qint64 nowMs) {
    m_now = nowMs;
    m_first = std::min(firstMs, nowMs);
    if (m_live)
        place(m_now - m_wanted, m_now);
    else
        place(m_from, m_to);
}

void HistoryViewport::setLive(bool live) {
    m_live = live;
    if (live)
        place(m_now - m_wanted, m_now);
}

void HistoryViewport::show(qint64 fromMs, qint64 toMs) {
    m_wanted = toMs - fromMs;
    if (m_live)
        place(m_now - m_wanted, m_now);
    else
        place(fromMs, toMs);
}

void HistoryViewport::showSpan(qint64 spanMs) {
    const qint64 from = m_from + (m_to - m_from) / 2 - spanMs / 2;
    show(from, from + spanMs);
}

void HistoryViewport::showAll() {
    m_wanted = maxSpanMs();
    place(m_now - m_wanted, m_now);
}

void HistoryViewport::zoomAt(double factor, qint64 anchorMs) {
    if (m_live)
        anchorMs = m_to;
    const double span = std::clamp(double(spanMs()) * factor, double(MinSpanMs), double(maxSpanMs()));
    const double share = spanMs() > 0 ? double(anchorMs - m_from) / double(spanMs()) : 1;
    const qint64 from = anchorMs - std::llround(span * share);
    show(from, from + std::llround(span));
}

void HistoryViewport::panBy(qint64 ms) {
    m_live = false;
    place(m_from + ms, m_to + ms);
}

// Within [first, now] where the span fits, else ending now; never shorter
// than the shortest span.
void HistoryViewport::place(qint64 from, qint64 to) {
    const qint64 span = std::clamp(to - from, MinSpanMs, maxSpanMs());
    if (to - from != span) {
        const qint64 middle = from + (to - from) / 2;
        from = middle - span / 2;
        if (m_live)
            from = m_now - span;
    }
    from = std::max(from, m_first);
    from = std::min(from, m_now - span);
    m_from = from;
    m_to = from + span;
}
