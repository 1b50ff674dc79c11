#include "TGauge.h"

#include <QPainter>

#include <algorithm>

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetProgress(int value) {
    value = std::clamp(value, 0, 100);
    if (value != m_progress) {
        m_progress = value;
        update();
    }
}

QString TGauge::Text() const {
    return QString::asprintf("%d%%", m_progress);
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    // A one-pixel black frame: the whole face black, then the inside white,
    // so the frame covers whole logical pixels at any device pixel ratio.
    p.fillRect(rect(), Qt::black);
    p.fillRect(inner, Qt::white);
    const QRect bar(inner.left(), inner.top(), inner.width() * m_progress / 100, inner.height());
    p.fillRect(bar, QColor(0, 0, 128));

    p.setFont(font());
    p.setClipRect(inner);
    p.setPen(Qt::black);
    p.drawText(inner, Qt::AlignCenter, Text());
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(inner, Qt::AlignCenter, Text());
}
