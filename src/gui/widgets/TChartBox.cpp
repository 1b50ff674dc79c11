#include "TChartBox.h"

#include "monitor/ChartCanvas.h"

#include <QEvent>
#include <QPainter>

TChartBox::TChartBox(ChartCanvas* canvas, QWidget* parent) : QWidget(parent), m_canvas(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TChartBox::event(QEvent* event) {
    // A new screen, or a new scale on the same one: paint again, and the
    // paint takes the new ratio.
    switch (event->type()) {
    case QEvent::ScreenChangeInternal:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    case QEvent::DevicePixelRatioChange:
#endif
        update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TChartBox::paintEvent(QPaintEvent*) {
    // The ratio is read where it is certain: when painting on the device.
    m_canvas->setDevicePixelRatio(devicePixelRatioF());
    QPainter(this).drawImage(0, 0, m_canvas->deviceImage());
}
