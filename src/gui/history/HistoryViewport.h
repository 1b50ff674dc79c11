#pragma once

#include <QtGlobal>

// The span of time the history window shows, within what the history holds:
// from one minute to everything from the first echo up to now. Live, its
// right edge stays at now and zooming keeps it there; panning ends Live.
// The length last chosen is kept while the history is shorter, and is
// shown again once it is long enough.
class HistoryViewport {
public:
    static constexpr qint64 MinSpanMs = 60'000;

    HistoryViewport();

    qint64 fromMs() const { return m_from; }
    qint64 toMs() const { return m_to; }
    qint64 spanMs() const { return m_to - m_from; }
    bool live() const { return m_live; }
    qint64 firstMs() const { return m_first; }
    qint64 nowMs() const { return m_now; }
    // The longest span there is to show.
    qint64 maxSpanMs() const;

    // What the history holds: its first echo, and the clock. Live, the view
    // moves along.
    void setExtent(qint64 firstMs, qint64 nowMs);
    void setLive(bool live);
    // The span [fromMs, toMs), kept within the extent.
    void show(qint64 fromMs, qint64 toMs);
    // A length: live, ending now; else around the middle of the view.
    void showSpan(qint64 spanMs);
    void showAll();
    // Longer (factor > 1) or shorter, keeping `anchorMs` where it is on
    // screen; live, keeping the right edge at now.
    void zoomAt(double factor, qint64 anchorMs);
    // Later (positive) or earlier; ends Live.
    void panBy(qint64 ms);

private:
    void place(qint64 from, qint64 to);

    qint64 m_first;
    qint64 m_now;
    qint64 m_from;
    qint64 m_to;
    qint64 m_wanted; // the span asked for
    bool m_live = true;
};
