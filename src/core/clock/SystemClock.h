#pragma once

#include "clock/Clock.h"

// The real clock: the system's local date and time, to the millisecond.
class SystemClock : public IClock {
public:
    TDateTime Now() const override;
    TDateTime Today() const override;
};
