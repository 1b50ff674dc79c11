#include "TBevelPanel.h"

#include <QPainter>

TBevelPanel::TBevelPanel(QWidget* parent) : QWidget(parent) {}

namespace {

// One-pixel frame: `topLeft` on the top and left edges, `bottomRight` on the others.
void bevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
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
