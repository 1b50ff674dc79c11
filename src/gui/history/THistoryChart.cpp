#include "history/THistoryChart.h"

#include "history/HistoryReadout.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr double kWheelZoom = 0.8; // the span after one notch of the wheel
constexpr double kKeyZoom = 1.5;
constexpr int kKeyPanParts = 10; // an arrow key moves a tenth of the span
} // namespace

THistoryChart::THistoryChart(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 160);
    setCursor(Qt::CrossCursor);
}

void THistoryChart::changed(bool wasLive) {
    m_dirty = true;
    update();
    emit viewChanged();
    if (wasLive != m_view.live())
        emit liveChanged(m_view.live());
    if (m_hover.x() >= 0)
        hover(m_hover);
}

void THistoryChart::setExtent(qint64 firstMs, qint64 nowMs) {
    const HistoryViewport before = m_view;
    m_view.setExtent(firstMs, nowMs);
    // The clock alone moves nothing on screen until the view moves along.
    if (m_view.fromMs() != before.fromMs() || m_view.toMs() != before.toMs())
        changed(before.live());
    else if (before.nowMs() < before.toMs() || before.firstMs() != firstMs) {
        m_dirty = true;
        update();
    }
}

void THistoryChart::setLive(bool live) {
    const bool was = m_view.live();
    m_view.setLive(live);
    changed(was);
}

void THistoryChart::showRange(qint64 fromMs, qint64 toMs) {
    const bool was = m_view.live();
    m_view.setLive(false);
    m_view.show(fromMs, toMs);
    changed(was);
}

void THistoryChart::showSpan(qint64 spanMs) {
    const bool was = m_view.live();
    m_view.showSpan(spanMs);
    changed(was);
}

void THistoryChart::showAll() {
    const bool was = m_view.live();
    m_view.showAll();
    changed(was);
}

void THistoryChart::zoomAt(double factor, qint64 anchorMs) {
    const bool was = m_view.live();
    m_view.zoomAt(factor, anchorMs);
    changed(was);
}

void THistoryChart::panBy(qint64 ms) {
    const bool was = m_view.live();
    m_view.panBy(ms);
    changed(was);
}

void THistoryChart::setBuckets(const BucketRun* run) {
    m_run = run;
    dataChanged();
}

void THistoryChart::setSpans(QList<HistoryPlot::Span> spans) {
    m_spans = std::move(spans);
    dataChanged();
}

void THistoryChart::setMarks(QList<qint64> marksMs) {
    m_marks = std::move(marksMs);
    dataChanged();
}

void THistoryChart::dataChanged() {
    m_dirty = true;
    update();
    if (m_hover.x() >= 0)
        hover(m_hover);
}

qint64 THistoryChart::bucketWidthMs() const {
    return std::max<qint64>(1, std::llround(m_plot.msPerColumn(m_view.fromMs(), m_view.toMs())));
}

qint64 THistoryChart::timeAt(double x) const {
    const QRectF area = m_plot.plotArea();
    return m_view.fromMs() + std::llround((x - area.left()) / area.width() * double(m_view.spanMs()));
}

double THistoryChart::xOf(qint64 ms) const {
    const QRectF area = m_plot.plotArea();
    return area.left() + double(ms - m_view.fromMs()) / double(m_view.spanMs()) * area.width();
}

const QImage& THistoryChart::rendered() {
    if (m_plot.size() != size() || m_plot.ratio() != devicePixelRatioF()) {
        m_plot.setSize(size(), devicePixelRatioF());
        m_dirty = true;
    }
    if (m_dirty) {
        m_image =
            m_plot.render({m_run, m_spans, m_view.fromMs(), m_view.toMs(), m_view.firstMs(), m_view.nowMs(), m_marks});
        m_dirty = false;
    }
    return m_image;
}

QImage THistoryChart::image() {
    return rendered();
}

QString THistoryChart::readoutAt(const QPoint& at) {
    rendered();
    const int column = m_plot.columnAt(at.x());
    if (column < 0 || at.y() < m_plot.plotArea().top() - 12 || at.y() > m_plot.plotArea().bottom())
        return {};
    const qint64 t = timeAt(at.x());
    const HistoryPlot::Span* under = nullptr;
    for (const HistoryPlot::Span& span : m_spans)
        if (t >= span.fromMs && t < std::max(span.toMs, span.fromMs + 1) &&
            (!under || span.kind == LedgerRow::Kind::Outage))
            under = &span;
    return historyreadout::column(m_plot.shownColumns().at(column), under);
}

void THistoryChart::hover(const QPoint& at) {
    m_hover = at;
    const QString text = readoutAt(at);
    if (text.isEmpty())
        m_hover = QPoint(-1, -1);
    update();
    emit readoutChanged(text);
}

void THistoryChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPoint(0, 0), rendered());
    const int column = m_hover.x() >= 0 ? m_plot.columnAt(m_hover.x()) : -1;
    if (column >= 0) {
        // The column read out, one screen pixel wide.
        const QRectF area = m_plot.plotArea();
        const double x = area.left() + (column + 0.5) / devicePixelRatioF();
        p.setPen(QPen(QColor(0, 0, 0, 90), 0));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}

void THistoryChart::resizeEvent(QResizeEvent* event) {
    m_dirty = true;
    QWidget::resizeEvent(event);
    emit viewChanged(); // the columns changed
}

void THistoryChart::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) {
        event->ignore();
        return;
    }
    zoomAt(std::pow(kWheelZoom, notches), timeAt(event->position().x()));
    event->accept();
}

void THistoryChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_dragX = event->position().x();
    m_dragFrom = m_view.fromMs();
    setCursor(Qt::ClosedHandCursor);
}

void THistoryChart::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging) {
        const double perPixel = double(m_view.spanMs()) / m_plot.plotArea().width();
        const qint64 wanted = m_dragFrom + std::llround((m_dragX - event->position().x()) * perPixel);
        if (wanted != m_view.fromMs())
            panBy(wanted - m_view.fromMs());
    }
    hover(event->position().toPoint());
}

void THistoryChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_dragging = false;
    setCursor(Qt::CrossCursor);
}

void THistoryChart::keyPressEvent(QKeyEvent* event) {
    const qint64 span = m_view.spanMs();
    const qint64 middle = m_view.fromMs() + span / 2;
    switch (event->key()) {
    case Qt::Key_Left:
        panBy(-span / kKeyPanParts);
        break;
    case Qt::Key_Right:
        panBy(span / kKeyPanParts);
        break;
    case Qt::Key_PageUp:
        panBy(-span);
        break;
    case Qt::Key_PageDown:
        panBy(span);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAt(1 / kKeyZoom, middle);
        break;
    case Qt::Key_Minus:
        zoomAt(kKeyZoom, middle);
        break;
    case Qt::Key_Home:
        showRange(m_view.firstMs(), m_view.firstMs() + span);
        break;
    case Qt::Key_End:
        setLive(true);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void THistoryChart::leaveEvent(QEvent* event) {
    m_hover = QPoint(-1, -1);
    update();
    emit readoutChanged(QString());
    QWidget::leaveEvent(event);
}
