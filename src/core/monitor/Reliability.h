#pragma once

// The reliability index: tenths of a per cent, 0..1000. It falls fast on a
// lost reply and recovers slowly, and raises its alerts once per crossing of
// 30 % (falling) and 70 % (rising).
namespace reliability {

inline constexpr int kMaximum = 1000;
inline constexpr int kGain = 10;
inline constexpr int kLoss = 50;
inline constexpr int kFallsBelow = 300;
inline constexpr int kRisesAbove = 700;

enum class Crossing { None, Fell, Rose };

// The index after one reply.
int next(int index, bool answered);
// The gauge's whole per cent.
int percent(int index);
// Which alert the index raises, given whether the connection counted as up.
Crossing crossing(bool connectionUp, int index);

} // namespace reliability
