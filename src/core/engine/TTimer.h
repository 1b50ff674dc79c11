#pragma once

#include <QBasicTimer>

class QObject;
class QTimerEvent;

// A periodic timer with the classic Enabled/Interval pair: it runs only while
// enabled with an interval above 0 (a Qt timer with interval 0 would fire
// continuously). No object of its own: its ticks are timer events of its
// owner, which asks owns() which timer an event belongs to; a watcher of
// many hosts keeps two of these per host.
class TTimer {
public:
    explicit TTimer(QObject* owner) : m_owner(owner) {}
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    int Interval() const { return m_interval; }
    void SetInterval(int interval);
    // Whether ticks are actually coming.
    bool Running() const { return m_timer.isActive(); }

    // Whether the owner's timer event is this timer's tick.
    bool owns(const QTimerEvent* event) const;

private:
    void update();

    QObject* m_owner;
    QBasicTimer m_timer;
    bool m_enabled = false;
    int m_interval = 1000;
};
