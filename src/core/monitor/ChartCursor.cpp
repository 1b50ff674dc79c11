#include "ChartCursor.h"

#include "ChartColumns.h"

void ChartCursor::Waiting() {
    ++WaitTicks;
    if (onWaiting)
        onWaiting(Column, WaitTicks);
}

void ChartCursor::TakeEcho(const EchoSample& echo, int timeoutMs) {
    if (onReply)
        onReply(Column, WaitTicks, echo.answered(), echo.roundTripMs(), timeoutMs);
    chartcolumns::advance(Column, WaitTicks, Width);
}
