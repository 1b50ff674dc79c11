#pragma once

#include <QDate>
#include <QDateTime>

// Local time where the clocks change: days that do not begin at 00:00,
// hours that happen twice.
namespace localclock {

// The first moment of the day in local time: 00:00, or the first moment
// after the clocks jumped where 00:00 does not exist.
QDateTime startOfDay(const QDate& day);

// Whether the local clock shows the same time at another moment nearby:
// the hour that happens twice when the clocks go back. A time there needs
// its UTC offset to be told apart.
bool isRepeated(const QDateTime& at);

// A UTC offset as ISO 8601 writes it: "+02:00", "-03:30".
QString offsetText(int seconds);

// Where the moments [from, to) change their UTC offset, in order.
QList<QDateTime> offsetChanges(const QDateTime& from, const QDateTime& to);

} // namespace localclock
