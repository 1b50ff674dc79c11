#pragma once

#include "history/HistoryPlot.h"
#include "history/HistoryViewport.h"

#include <QImage>
#include <QWidget>

// The history's plot as a control: it draws what it is given (the cached
// buckets and the outages) for the span it shows, and lets the user move
// that span: the wheel zooms at the pointer, dragging pans, the arrow keys
// pan, + and - zoom, Home goes to the first echo and End to Live. The
// pointer's column is read out as text.
class THistoryChart : public QWidget {
    Q_OBJECT
public:
    explicit THistoryChart(QWidget* parent = nullptr);

    const HistoryViewport& view() const { return m_view; }
    void setExtent(qint64 firstMs, qint64 nowMs);
    void setLive(bool live);
    void showRange(qint64 fromMs, qint64 toMs);
    void showSpan(qint64 spanMs);
    void showAll();
    void zoomAt(double factor, qint64 anchorMs);
    void panBy(qint64 ms);

    // What to draw: the buckets (kept by the caller, read at each drawing)
    // and the outages and gaps; dataChanged() draws anew.
    void setBuckets(const BucketRun* run);
    void setSpans(QList<HistoryPlot::Span> spans);
    void setMarks(QList<qint64> marksMs);
    void dataChanged();

    // The milliseconds of one pixel column of the view, rounded: the grid
    // its buckets are asked for on.
    qint64 bucketWidthMs() const;
    // The time at logical x, and where a time is.
    qint64 timeAt(double x) const;
    double xOf(qint64 ms) const;
    const HistoryPlot& plot() const { return m_plot; }
    // The picture as it is now, in the screen's pixels.
    QImage image();
    // The text for the column under logical point `at`; empty off the plot.
    QString readoutAt(const QPoint& at);

signals:
    // The span shown changed, by the user or a setter.
    void viewChanged();
    void liveChanged(bool live);
    // The pointer's column, as text; empty when it left the plot.
    void readoutChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void changed(bool wasLive);
    void hover(const QPoint& at);
    const QImage& rendered();

    HistoryViewport m_view;
    HistoryPlot m_plot;
    const BucketRun* m_run = nullptr;
    QList<HistoryPlot::Span> m_spans;
    QList<qint64> m_marks;
    QImage m_image;
    bool m_dirty = true;
    QPoint m_hover{-1, -1};
    bool m_dragging = false;
    double m_dragX = 0;
    qint64 m_dragFrom = 0;
};
