#include "report/plot/TimeAxis.h"

#include "clock/LocalTime.h"

#include <QDateTime>
#include <QLocale>

#include <array>

namespace {

enum class Unit { Second, Minute, Hour, Day, Month, Year };

struct Step {
    Unit unit;
    int count;
    qint64 ms; // typical length
};

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

constexpr std::array kSteps{
    Step{Unit::Second, 1, kSecond},       Step{Unit::Second, 2, 2 * kSecond},   Step{Unit::Second, 5, 5 * kSecond},
    Step{Unit::Second, 10, 10 * kSecond}, Step{Unit::Second, 15, 15 * kSecond}, Step{Unit::Second, 30, 30 * kSecond},
    Step{Unit::Minute, 1, kMinute},       Step{Unit::Minute, 2, 2 * kMinute},   Step{Unit::Minute, 5, 5 * kMinute},
    Step{Unit::Minute, 10, 10 * kMinute}, Step{Unit::Minute, 15, 15 * kMinute}, Step{Unit::Minute, 30, 30 * kMinute},
    Step{Unit::Hour, 1, kHour},           Step{Unit::Hour, 2, 2 * kHour},       Step{Unit::Hour, 3, 3 * kHour},
    Step{Unit::Hour, 6, 6 * kHour},       Step{Unit::Hour, 12, 12 * kHour},     Step{Unit::Day, 1, kDay},
    Step{Unit::Day, 2, 2 * kDay},         Step{Unit::Day, 7, 7 * kDay},         Step{Unit::Month, 1, 30 * kDay},
    Step{Unit::Month, 3, 91 * kDay},      Step{Unit::Month, 6, 182 * kDay},     Step{Unit::Year, 1, 365 * kDay},
    Step{Unit::Year, 2, 730 * kDay},      Step{Unit::Year, 5, 1826 * kDay},     Step{Unit::Year, 10, 3652 * kDay},
    Step{Unit::Year, 50, 18262 * kDay},
};

const Step& stepFor(qint64 minGapMs) {
    for (const Step& step : kSteps)
        if (step.ms >= minGapMs)
            return step;
    return kSteps.back();
}

QDateTime local(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

QString text(const QDateTime& at, const char* format) {
    return QLocale::c().toString(at, QString::fromLatin1(format));
}

bool beginsDay(qint64 ms) {
    const QDateTime at = local(ms);
    return localclock::startOfDay(at.date()).toMSecsSinceEpoch() == ms;
}

// The clock's steps divide a day: within a stretch of one UTC offset the
// ticks are the moments whose local time is a multiple of the step.
void clockTicks(QList<TimeAxis::Tick>& ticks, qint64 from, qint64 to, const Step& step) {
    const qint64 stepMs = step.ms;
    QList<qint64> bounds{from};
    for (const QDateTime& change : localclock::offsetChanges(local(from), local(to)))
        bounds.append(change.toMSecsSinceEpoch());
    bounds.append(to);
    for (qsizetype i = 0; i + 1 < bounds.size(); ++i) {
        const qint64 offset = qint64{local(bounds[i]).offsetFromUtc()} * 1000;
        const qint64 wall = bounds[i] + offset;
        qint64 t = (wall / stepMs + (wall % stepMs > 0 ? 1 : 0)) * stepMs - offset;
        for (; t < bounds[i + 1]; t += stepMs) {
            const QDateTime at = local(t);
            TimeAxis::Tick tick{t, text(at, step.unit == Unit::Second ? "HH:mm:ss" : "HH:mm"), {}, beginsDay(t)};
            if (tick.major)
                tick.sublabel = text(at, "ddd d MMM");
            else if (localclock::isRepeated(at))
                tick.sublabel = localclock::offsetText(at.offsetFromUtc());
            ticks.append(tick);
        }
    }
}

void calendarTicks(QList<TimeAxis::Tick>& ticks, qint64 from, qint64 to, const Step& step) {
    QDate day = local(from).date().addDays(-1);
    if (step.unit != Unit::Day)
        day = QDate(day.year() - (step.unit == Unit::Year ? day.year() % step.count : 0),
                    step.unit == Unit::Month ? day.month() : 1, 1);
    const QDate last = local(to).date();
    while (day <= last) {
        bool wanted = true;
        QDate next = day.addDays(1);
        if (step.unit == Unit::Day && step.count == 2)
            wanted = day.day() % 2 == 1 && day.day() < 31;
        else if (step.unit == Unit::Day && step.count == 7)
            wanted = day.dayOfWeek() == Qt::Monday;
        else if (step.unit == Unit::Month) {
            wanted = (day.month() - 1) % step.count == 0;
            next = day.addMonths(1);
        } else if (step.unit == Unit::Year) {
            next = day.addYears(step.count);
        }
        const qint64 t = localclock::startOfDay(day).toMSecsSinceEpoch();
        if (wanted && t >= from && t < to) {
            const QDateTime at = local(t);
            TimeAxis::Tick tick{t, {}, {}, false};
            if (step.unit == Unit::Day) {
                tick.label = text(at, "d MMM");
                tick.major = day.day() == 1;
                tick.sublabel = tick.major ? text(at, "MMM yyyy") : QString();
            } else if (step.unit == Unit::Month) {
                tick.label = text(at, "MMM");
                tick.major = day.month() == 1;
                tick.sublabel = tick.major ? text(at, "yyyy") : QString();
            } else {
                tick.label = text(at, "yyyy");
                tick.major = true;
            }
            ticks.append(tick);
        }
        day = next;
    }
}

} // namespace

QList<TimeAxis::Tick> TimeAxis::ticks(qint64 fromMs, qint64 toMs, qint64 minGapMs) {
    QList<Tick> result;
    if (fromMs >= toMs)
        return result;
    const Step& step = stepFor(minGapMs);
    if (step.unit == Unit::Second || step.unit == Unit::Minute || step.unit == Unit::Hour)
        clockTicks(result, fromMs, toMs, step);
    else
        calendarTicks(result, fromMs, toMs, step);
    return result;
}

qint64 TimeAxis::stepMs(qint64 minGapMs) {
    return stepFor(minGapMs).ms;
}

QString TimeAxis::dateText(qint64 ms) {
    return text(local(ms), "ddd d MMM yyyy");
}
