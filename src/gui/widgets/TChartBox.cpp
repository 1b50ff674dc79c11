#include "TChartBox.h"

#include "monitor/ChartCanvas.h"

#include <QPainter>

TChartBox::TChartBox(const ChartCanvas* canvas, QWidget* parent) : QWidget(parent), m_canvas(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TChartBox::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, m_canvas->image());
}
