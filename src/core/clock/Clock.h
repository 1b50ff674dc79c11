#pragma once

// Date-time values are day counts: the whole part counts days since
// 30 December 1899, the fraction is the local time of day.
using TDateTime = double;

inline constexpr TDateTime OneSecond = 1.0 / 86400.0;
inline constexpr TDateTime OneMinute = 1.0 / 1440.0;

// Where "now" comes from. Core code never reads the system clock itself, so
// tests can move time forward instead of waiting.
class IClock {
public:
    virtual ~IClock() = default;
    // The local date and time, to the millisecond.
    virtual TDateTime Now() const = 0;
    // The local date at 00:00.
    virtual TDateTime Today() const = 0;
};
