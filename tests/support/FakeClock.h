#pragma once

#include "clock/Clock.h"

#include <cmath>

// A clock that stands still until the test moves it.
class FakeClock : public IClock {
public:
    TDateTime Now() const override { return now; }
    TDateTime Today() const override { return std::floor(now); }
    void advanceSeconds(double seconds) { now += seconds / 86400.0; }
    TDateTime now = 46215.5; // 12 July 2026, 12:00
};
