#pragma once

#include <QWidget>

class ChartCanvas;

// Shows the chart at 1:1, top-left aligned, in the screen's own pixels: the
// canvas is drawn at the widget's device pixel ratio, and drawn anew when
// the window moves to a screen of another density.
class TChartBox : public QWidget {
    Q_OBJECT
public:
    TChartBox(ChartCanvas* canvas, QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    ChartCanvas* m_canvas;
};
