#pragma once

#include <QWidget>

// A horizontal bar gauge: navy bar on white inside a single border, with its
// value as "%d%%" in the middle, white over the bar and black beside it.
class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);
    int Progress() const { return m_progress; }
    void SetProgress(int value);
    QString Text() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_progress = 0;
};
