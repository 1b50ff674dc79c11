#pragma once

#include "clock/Clock.h"

class QDateTime;

// Conversions between TDateTime day counts, calendar fields and QDateTime.
// Dates follow the proleptic Gregorian calendar. Only values from day 0
// (30 December 1899, 00:00) onwards are supported; earlier, negative values
// would need the fraction read as a distance from the day's start in the
// other direction, which nothing here does.
namespace datetime {

struct Fields {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
    int ms;
};

// The day count of a local date and time. The fields must form a valid date
// and time of day.
TDateTime encode(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);

// The value rounded to the nearest millisecond, then split into fields, so
// 23:59:59.9996 is 00:00:00.000 of the next day.
Fields decode(TDateTime value);

// The local date and time of the given moment.
TDateTime fromQDateTime(const QDateTime& dateTime);

// A local QDateTime, to the millisecond.
QDateTime toQDateTime(TDateTime value);

} // namespace datetime
