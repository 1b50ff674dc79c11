#include "TTimer.h"

TTimer::TTimer(QObject* parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &TTimer::OnTimer);
}

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
        m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}
