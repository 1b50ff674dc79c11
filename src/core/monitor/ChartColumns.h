#pragma once

// The chart's column model: where the cursor stands and how many waiting
// ticks the echo out has drawn since. A reply's bar covers its column and
// every waiting column; the cursor then moves past them and wraps after the
// chart's width (greater, not greater or equal: one sweep takes width + 1
// replies).
namespace chartcolumns {

inline void advance(int& chartColumn, int& waitTicks, int width) {
    chartColumn += waitTicks + 1;
    if (chartColumn > width)
        chartColumn = 0;
    waitTicks = 0;
}

} // namespace chartcolumns
