#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>

// The look of every printed page: A4 at 300 dots to the inch, one set of
// margins, the colours and the typefaces. Lengths on the page are device
// dots; mm() turns millimetres into them.
namespace page {

constexpr int kDpi = 300;
constexpr double kMarginMm = 20; // left, right and top
constexpr double kMarginBottomMm = 22;
// Baselines of the running header and of the footer, from the sheet's edges.
constexpr double kHeaderBaselineMm = 12;
constexpr double kFooterBaselineMm = 11;

inline const QColor kHeading{0x1d, 0x35, 0x57}; // titles and headings
inline const QColor kRule{0x9a, 0xa5, 0xb1};    // lines across the page
inline const QColor kQuiet{0x55, 0x5f, 0x6b};   // header, footer, notes
inline const QColor kTableHeaderBackground{0xe4, 0xe9, 0xef};
inline const QColor kStripe{0xf5, 0xf7, 0xf9}; // every other table row
inline const QColor kCodeBackground{0xf1, 0xf3, 0xf6};

constexpr double mm(double value) {
    return value / 25.4 * kDpi;
}

QStringList sansFamilies();
QStringList monoFamilies();
QFont sans(double points, bool bold = false);

} // namespace page
