#pragma once

#include <QList>
#include <QString>

// The ticks of the history's time axis in local time, on steps of the
// calendar: seconds, minutes and hours of the clock (02:00, 04:00, ...),
// days at their first moment, months, years. Where the clocks change the
// ticks follow the clock: a skipped hour has none, the repeated hour has
// its ticks twice, each with its UTC offset below.
class TimeAxis {
public:
    struct Tick {
        qint64 ms = 0;
        QString label;      // "14:00", "8 Dec", "Mar", "2027"
        QString sublabel;   // below it: the date where a day begins, the offset in the repeated hour, the year
        bool major = false; // a day (for the clock's steps), a month or a year begins here
    };

    // The ticks in [fromMs, toMs) at the finest step whose ticks are at
    // least `minGapMs` apart.
    static QList<Tick> ticks(qint64 fromMs, qint64 toMs, qint64 minGapMs);

    // The step ticks() takes, as its typical length in milliseconds.
    static qint64 stepMs(qint64 minGapMs);

    // "Tue 8 Dec 2026": the date the axis begins with.
    static QString dateText(qint64 ms);
};
