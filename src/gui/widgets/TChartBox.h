#pragma once

#include <QWidget>

class ChartCanvas;

// Shows the chart image at 1:1, top-left aligned.
class TChartBox : public QWidget {
    Q_OBJECT
public:
    TChartBox(const ChartCanvas* canvas, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const ChartCanvas* m_canvas;
};
