#pragma once

#include <QColor>

// The colours of the latency plots: the History window's and the report's
// graph draw the same things the same way.
namespace plotcolour {

inline const QColor Loss{0xd6, 0x27, 0x28};
inline const QColor Median{0x12, 0x34, 0x66};
inline const QColor Middle{0x86, 0xa8, 0xd6};   // the middle half
inline const QColor Spread{0xc0, 0xd2, 0xeb};   // the 10th to the 90th percentile
inline const QColor Extremes{0xe7, 0xee, 0xf7}; // minimum to maximum
inline const QColor Grid{0xe3, 0xe3, 0xe3};
inline const QColor DayLine{0xc4, 0xc4, 0xc4};
inline const QColor Frame{0x9a, 0xa5, 0xb1};
inline const QColor Text{0x33, 0x33, 0x33};

} // namespace plotcolour
