#pragma once

#include <QDateTime>

#include <cstdint>

// The three clocks that tell watched time from lost time: the monotonic
// clock stands still while the system sleeps, the boot-time clock does not,
// and the wall clock names the moments for people.
struct Moment {
    std::int64_t monotonicMs = 0;
    std::int64_t boottimeMs = 0;
    QDateTime wall;
};

class IStopwatch {
public:
    virtual ~IStopwatch() = default;
    virtual Moment now() const = 0;
};

// The local date and time, carrying its UTC offset (so that its ISO 8601
// text says "+01:00" rather than nothing).
QDateTime localNow();

// CLOCK_MONOTONIC, CLOCK_BOOTTIME and the local time with its UTC offset.
class SystemStopwatch : public IStopwatch {
public:
    Moment now() const override;
};
