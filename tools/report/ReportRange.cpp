#include "ReportRange.h"

#include "clock/LocalTime.h"

#include <QDate>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int kDefaultDays = 30;

enum class End { From, To };

// One end of the period; an invalid QDateTime with *error set for text that
// is neither a date nor a date and time, or a local time that happens twice.
QDateTime parseEnd(QString text, End end, QString* error) {
    text = text.trimmed();
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10) {
        // Where the clocks jump at midnight, the day begins with its first moment.
        return localclock::startOfDay(end == End::To ? date.addDays(1) : date);
    }
    // ISO 8601 has a "T" between date and time; a space reads as well.
    if (text.size() > 10 && text.at(10) == QLatin1Char(' '))
        text[10] = QLatin1Char('T');
    const QDateTime at = text.size() > 10 && text.at(10) == QLatin1Char('T')
                             ? QDateTime::fromString(text, Qt::ISODateWithMs)
                             : QDateTime();
    if (!at.isValid()) {
        *error = QStringLiteral("\"%1\" is no date (2026-11-30) or date and time (2026-11-30T18:00)").arg(text);
        return {};
    }
    if (at.timeSpec() == Qt::LocalTime && localclock::isRepeated(at)) {
        const QDateTime other =
            at.addSecs(-3600).toLocalTime().time() == at.time() ? at.addSecs(-3600) : at.addSecs(3600);
        *error = QStringLiteral("%1 happens twice here, the clocks go back: add its UTC offset (%1%2 or %1%3)")
                     .arg(text, localclock::offsetText(std::max(at.offsetFromUtc(), other.offsetFromUtc())),
                          localclock::offsetText(std::min(at.offsetFromUtc(), other.offsetFromUtc())));
        return {};
    }
    return at.toLocalTime();
}

} // namespace

std::optional<ReportRange> ReportRange::parse(const QString& text, const QDateTime& now, QString* error) {
    const auto fail = [&](const QString& message) {
        *error = message;
        return std::nullopt;
    };
    const QStringList ends = text.split(QStringLiteral(".."));
    if (ends.size() != 2)
        return fail(QStringLiteral("the period \"%1\" is not FROM..TO").arg(text));

    ReportRange range;
    QString problem;
    range.to = ends[1].trimmed().isEmpty() ? now : parseEnd(ends[1], End::To, &problem);
    if (!range.to.isValid())
        return fail(problem);
    if (range.to > now)
        range.to = now;
    range.from = ends[0].trimmed().isEmpty() ? range.to.addDays(-kDefaultDays) : parseEnd(ends[0], End::From, &problem);
    if (!range.from.isValid())
        return fail(problem);
    if (range.from >= range.to)
        return fail(QStringLiteral("the period %1 to %2 is empty")
                        .arg(range.from.toString(Qt::ISODate), range.to.toString(Qt::ISODate)));
    return range;
}
