#pragma once

#include "clock/Clock.h"
#include "text/Regional.h"

#include <QString>

// Date and time texts for the log and the chart: month before day, a 24-hour
// clock, two-digit fields and a four-digit year, with the region's date and
// time separators. The value is rounded to the millisecond before the fields
// are cut, so 14:05:59.7 shows as 14:05 and 14:05:59.
namespace stamps {

// "mm/dd/yyyy hh:nn", e.g. 07/12/2026 14:05.
QString ShortStamp(TDateTime value, const RegionalSettings& regional);

// "mm/dd/yyyy hh:nn:ss".
QString LongStamp(TDateTime value, const RegionalSettings& regional);

// "hh:nn:ss".
QString TimeStamp(TDateTime value, const RegionalSettings& regional);

} // namespace stamps
