#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The period argument of linkvigil-report, "FROM..TO". Each end is an ISO
// date ("2026-11-01") or a local date and time ("2026-11-01T08:30",
// "2026-11-01 08:30:15", with an optional UTC offset). A date as FROM means
// its 00:00, a date as TO the end of that day, so "2026-11-01..2026-11-30"
// is all of November. An empty TO is now, an empty FROM 30 days before TO.
// The period ends no later than `now`: nothing is known of the time after.
struct ReportRange {
    QDateTime from;
    QDateTime to;

    // None with *error set for text that is no period, or an empty one.
    static std::optional<ReportRange> parse(const QString& text, const QDateTime& now, QString* error);
};
