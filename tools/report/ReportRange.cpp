#include "ReportRange.h"

#include <QDate>
#include <QStringList>

namespace {

constexpr int kDefaultDays = 30;

enum class End { From, To };

// One end of the period; an invalid QDateTime for text that is neither a
// date nor a date and time.
QDateTime parseEnd(QString text, End end) {
    text = text.trimmed();
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10) {
        const QDate day = end == End::To ? date.addDays(1) : date;
        return QDateTime(day, QTime(0, 0), Qt::LocalTime);
    }
    // ISO 8601 has a "T" between date and time; a space reads as well.
    if (text.size() > 10 && text.at(10) == QLatin1Char(' '))
        text[10] = QLatin1Char('T');
    if (text.size() <= 10 || text.at(10) != QLatin1Char('T'))
        return {};
    const QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    return at.isValid() ? at.toLocalTime() : QDateTime();
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
    range.to = ends[1].trimmed().isEmpty() ? now : parseEnd(ends[1], End::To);
    if (!range.to.isValid())
        return fail(QStringLiteral("\"%1\" is no date (2026-11-30) or date and time (2026-11-30T18:00)").arg(ends[1]));
    if (range.to > now)
        range.to = now;
    range.from = ends[0].trimmed().isEmpty() ? range.to.addDays(-kDefaultDays) : parseEnd(ends[0], End::From);
    if (!range.from.isValid())
        return fail(QStringLiteral("\"%1\" is no date (2026-11-01) or date and time (2026-11-01T08:00)").arg(ends[0]));
    if (range.from >= range.to)
        return fail(QStringLiteral("the period %1 to %2 is empty")
                        .arg(range.from.toString(Qt::ISODate), range.to.toString(Qt::ISODate)));
    return range;
}
