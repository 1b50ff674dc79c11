#pragma once

#include <QObject>
#include <QTimer>

// A periodic timer with the classic Enabled/Interval pair: it runs only while
// enabled with an interval above 0 (a QTimer with interval 0 would fire
// continuously).
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* parent = nullptr);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    int Interval() const { return m_interval; }
    void SetInterval(int interval);
    // Whether ticks are actually coming.
    bool Running() const { return m_timer.isActive(); }

signals:
    void OnTimer();

private:
    void update();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 1000;
};
