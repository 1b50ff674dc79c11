#include "ChartCursor.h"

#include "ChartColumns.h"

void ChartCursor::Waiting() {
    ++WaitTicks;
    if (out)
        out->onChartWaiting(Column, WaitTicks);
}

void ChartCursor::TakeEcho(const EchoSample& echo, int timeoutMs) {
    if (out)
        out->onChartReply(Column, WaitTicks, echo.answered(), echo.roundTripMs(), timeoutMs);
    chartcolumns::advance(Column, WaitTicks, Width);
}
