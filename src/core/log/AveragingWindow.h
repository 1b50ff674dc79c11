#pragma once

#include "clock/Clock.h"

// Steps of the averaging window's day grid.
namespace averaging {

// The first point end + k * length (k >= 0, by repeated addition) that is
// not earlier than `now`. A length of zero or less leaves `end` as it is; a
// very long way to go is first covered arithmetically, so no value can keep
// the loop running.
TDateTime StepPast(TDateTime end, TDateTime length, TDateTime now);

} // namespace averaging
