#include "Stamps.h"

#include "clock/DateTime.h"

namespace stamps {

namespace {

QString two(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString datePart(const datetime::Fields& f, QChar separator) {
    return two(f.month) + separator + two(f.day) + separator +
           QStringLiteral("%1").arg(f.year, 4, 10, QLatin1Char('0'));
}

} // namespace

QString ShortStamp(TDateTime value, const RegionalSettings& regional) {
    const datetime::Fields f = datetime::decode(value);
    return datePart(f, regional.dateSeparator) + QLatin1Char(' ') + two(f.hour) + regional.timeSeparator +
           two(f.minute);
}

QString LongStamp(TDateTime value, const RegionalSettings& regional) {
    const datetime::Fields f = datetime::decode(value);
    return datePart(f, regional.dateSeparator) + QLatin1Char(' ') + two(f.hour) + regional.timeSeparator +
           two(f.minute) + regional.timeSeparator + two(f.second);
}

QString TimeStamp(TDateTime value, const RegionalSettings& regional) {
    const datetime::Fields f = datetime::decode(value);
    return two(f.hour) + regional.timeSeparator + two(f.minute) + regional.timeSeparator + two(f.second);
}

} // namespace stamps
