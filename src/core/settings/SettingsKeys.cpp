#include "SettingsKeys.h"

#include <algorithm>

namespace settings {

QString AddressKey(int position) {
    return QString::asprintf("Address%.2d", position);
}

TDateTime UsablePeriod(TDateTime period) {
    // One second written with 15 digits may read back a hair below it.
    return period >= OneSecond * (1 - 1e-9) ? period : OneMinute;
}

std::int32_t LimitBytes(std::int32_t kilobytes) {
    return std::clamp(kilobytes, 0, MaxLimitKb) * 1024;
}

} // namespace settings
