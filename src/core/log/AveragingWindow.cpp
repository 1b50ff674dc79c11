#include "AveragingWindow.h"

#include <cmath>

namespace averaging {

TDateTime StepPast(TDateTime end, TDateTime length, TDateTime now) {
    if (!(length > 0))
        return end;
    constexpr double kMaxSteps = 1e6;
    const double steps = (now - end) / length;
    if (steps > kMaxSteps) {
        // Jump to just short of the point and add the last steps one by one.
        end += std::floor(steps - 2) * length;
    }
    // A length too small to move `end` would never get past `now`.
    while (now > end) {
        const TDateTime next = end + length;
        if (next == end)
            return now;
        end = next;
    }
    return end;
}

} // namespace averaging
