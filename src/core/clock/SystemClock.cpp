#include "SystemClock.h"

#include "clock/DateTime.h"

#include <QDateTime>

#include <cmath>

TDateTime SystemClock::Now() const {
    return datetime::fromQDateTime(QDateTime::currentDateTime());
}

TDateTime SystemClock::Today() const {
    return std::floor(Now());
}
