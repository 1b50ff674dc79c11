#pragma once

#include <QWidget>

// A panel with a raised outer bevel and a lowered inner bevel, one pixel
// each, and two pixels of face colour between them.
class TBevelPanel : public QWidget {
    Q_OBJECT
public:
    explicit TBevelPanel(QWidget* parent = nullptr);
    // The area inside the bevels.
    QRect ClientRect() const { return rect().adjusted(4, 4, -4, -4); }

protected:
    void paintEvent(QPaintEvent*) override;
};
