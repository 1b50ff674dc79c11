#include "LocalTime.h"

#include <QTimeZone>

#include <cstdlib>

namespace localclock {

QDateTime startOfDay(const QDate& day) {
    return day.startOfDay(Qt::LocalTime);
}

QString offsetText(int seconds) {
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QList<QDateTime> offsetChanges(const QDateTime& from, const QDateTime& to) {
    QList<QDateTime> changes;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid() || !from.isValid() || !to.isValid() || from >= to)
        return changes;
    for (const QTimeZone::OffsetData& change : zone.transitions(from, to))
        if (change.atUtc > from && change.atUtc < to)
            changes.append(change.atUtc);
    return changes;
}

bool isRepeated(const QDateTime& at) {
    if (!at.isValid())
        return false;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid())
        return false;
    // The clocks go back by `d` at T: the moments [T - d, T + d) share their
    // local times in pairs.
    for (const QTimeZone::OffsetData& change : zone.transitions(at.addDays(-1), at.addDays(1))) {
        const int before = zone.offsetFromUtc(change.atUtc.addMSecs(-1));
        const qint64 back = qint64{before} - change.offsetFromUtc;
        if (back > 0 && at >= change.atUtc.addSecs(-back) && at < change.atUtc.addSecs(back))
            return true;
    }
    return false;
}

} // namespace localclock
