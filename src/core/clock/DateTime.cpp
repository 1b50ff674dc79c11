#include "DateTime.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>

namespace datetime {

namespace {

constexpr std::int64_t MsPerDay = 86'400'000;

// Days between 1970-01-01 and 1899-12-30.
constexpr std::int64_t EpochOffset = 25'569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil): years start in March so the leap day falls last.
constexpr std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    int year;
    int month;
    int day;
};

// The inverse of daysFromCivil().
constexpr Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

static_assert(daysFromCivil(1899, 12, 30) == -EpochOffset);
static_assert(civilFromDays(-EpochOffset).year == 1899);

} // namespace

TDateTime encode(int year, int month, int day, int hour, int minute, int second, int ms) {
    const std::int64_t days = daysFromCivil(year, month, day) + EpochOffset;
    const std::int64_t msOfDay = ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000 + ms;
    return static_cast<double>(days) + static_cast<double>(msOfDay) / MsPerDay;
}

Fields decode(TDateTime value) {
    const auto total = std::llround(value * MsPerDay);
    const std::int64_t days = total / MsPerDay;
    auto msOfDay = static_cast<int>(total % MsPerDay);
    const Civil date = civilFromDays(days - EpochOffset);
    Fields f{date.year, date.month, date.day, 0, 0, 0, 0};
    f.ms = msOfDay % 1000;
    msOfDay /= 1000;
    f.second = msOfDay % 60;
    msOfDay /= 60;
    f.minute = msOfDay % 60;
    f.hour = msOfDay / 60;
    return f;
}

TDateTime fromQDateTime(const QDateTime& dateTime) {
    const QDateTime local = dateTime.toLocalTime();
    const QDate date = local.date();
    return encode(date.year(), date.month(), date.day()) +
           static_cast<double>(local.time().msecsSinceStartOfDay()) / MsPerDay;
}

QDateTime toQDateTime(TDateTime value) {
    const Fields f = decode(value);
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second, f.ms), Qt::LocalTime);
}

} // namespace datetime
