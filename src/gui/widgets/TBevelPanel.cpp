#include "TBevelPanel.h"

#include <QPainter>

TBevelPanel::TBevelPanel(QWidget* parent) : QWidget(parent) {}

namespace {

// One-pixel frame: `topLeft` on the top and left edges, `bottomRight` on the
// others and on the two corners they share with the first. Filled as
// rectangles of whole logical pixels, the edges stay one pixel wide and in
// place at any device pixel ratio, where a pen's line would straddle pixels.
void bevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

} // namespace

void TBevelPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    bevel(p, outer, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    bevel(p, outer.adjusted(3, 3, -3, -3), pal.color(QPalette::Dark), pal.color(QPalette::Light));
}
