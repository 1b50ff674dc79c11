#include "Stopwatch.h"

#include <time.h>

namespace {

std::int64_t millis(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return std::int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1'000'000;
}

} // namespace

QDateTime localNow() {
    const QDateTime local = QDateTime::currentDateTime();
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

Moment SystemStopwatch::now() const {
    return {millis(CLOCK_MONOTONIC), millis(CLOCK_BOOTTIME), localNow()};
}
