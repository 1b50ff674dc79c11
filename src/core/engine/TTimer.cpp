#include "TTimer.h"

#include <QTimerEvent>

void TTimer::SetEnabled(bool enabled) {
    m_enabled = enabled;
    update();
}

void TTimer::SetInterval(int interval) {
    m_interval = interval;
    update();
}

void TTimer::update() {
    if (m_enabled && m_interval > 0) {
        // Changing the interval of a running timer starts its period anew.
        m_timer.start(m_interval, Qt::CoarseTimer, m_owner);
    } else {
        m_timer.stop();
    }
}

bool TTimer::owns(const QTimerEvent* event) const {
    return event->timerId() == m_timer.timerId();
}
