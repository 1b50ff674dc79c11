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

constexpr QRgb kHeading = 0x1d3557; // titles and headings
constexpr QRgb kRule = 0x9aa5b1;    // lines across the page
constexpr QRgb kQuiet = 0x555f6b;   // header, footer, notes
constexpr QRgb kTableHeaderBackground = 0xe4e9ef;
constexpr QRgb kStripe = 0xf5f7f9; // every other table row
constexpr QRgb kCodeBackground = 0xf1f3f6;

constexpr double mm(double value) {
    return value / 25.4 * kDpi;
}

QStringList sansFamilies();
QStringList monoFamilies();
QFont sans(double points, bool bold = false);

} // namespace page
