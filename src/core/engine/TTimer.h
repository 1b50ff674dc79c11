#pragma once

#include <QBasicTimer>
#include <QObject>

class QTimerEvent;

// A periodic timer with the classic Enabled/Interval pair: it runs only while
// enabled with an interval above 0 (a Qt timer with interval 0 would fire
// continuously). A basic timer of its own, not a QTimer: a watcher of many
// hosts keeps two of these per host, and each QTimer is one object more.
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* parent = nullptr) : QObject(parent) {}
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    int Interval() const { return m_interval; }
    void SetInterval(int interval);
    // Whether ticks are actually coming.
    bool Running() const { return m_timer.isActive(); }

signals:
    void OnTimer();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void update();

    QBasicTimer m_timer;
    bool m_enabled = false;
    int m_interval = 1000;
};
