#include "Reliability.h"

#include <algorithm>
#include <cmath>

namespace reliability {

int next(int index, bool answered) {
    return answered ? std::min(index + kGain, kMaximum) : std::max(index - kLoss, 0);
}

int percent(int index) {
    // Halves go to the even neighbour; with steps of 10 there are none.
    return static_cast<int>(std::nearbyint(index / 10.0));
}

Crossing crossing(bool connectionUp, int index) {
    if (connectionUp && index < kFallsBelow)
        return Crossing::Fell;
    if (!connectionUp && index > kRisesAbove)
        return Crossing::Rose;
    return Crossing::None;
}

} // namespace reliability
