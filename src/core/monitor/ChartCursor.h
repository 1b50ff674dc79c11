#pragma once

#include "echo/EchoSample.h"

#include <cstdint>

// The chart's column model: where the cursor stands and how many waiting
// ticks the echo out has drawn since. A reply's bar covers its column and
// every waiting column; the cursor then moves past them and wraps after the
// chart's width (greater, not greater or equal: one sweep takes width + 1
// replies). The drawing is the front end's; this says what to draw.
class ChartCursor {
public:
    static constexpr int Width = 345;

    int Column = 0;
    int WaitTicks = 0;

    // Who draws: a waiting tick at column + ticks; a reply's bar from
    // `column` over its waiting ticks, its round trip in whole milliseconds.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void onChartWaiting(int column, int waitTicks) = 0;
        virtual void onChartReply(int column, int waitTicks, bool answered, std::uint32_t roundTripMs,
                                  int timeoutMs) = 0;
    };
    // None, or one that outlives the cursor.
    Listener* out = nullptr;

    // An echo leaves: no waiting tick drawn for it yet.
    void Sent() { WaitTicks = 0; }
    // A tick while it is out.
    void Waiting();
    // Its outcome: its bar, then the cursor moves on.
    void TakeEcho(const EchoSample& echo, int timeoutMs);
};
