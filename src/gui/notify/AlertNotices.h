#pragma once

#include "INotifications.h"
#include "clock/Clock.h"

#include <QObject>

class MonitorEngine;

// The engine's two alerts as desktop notifications: the falling one (below
// 30 %) urgent and with a way to the outages, the rising one (above 70 %)
// plain. Nothing is sent while the settings switch them off.
class AlertNotices : public QObject {
    Q_OBJECT
public:
    // The action that asks for the Outages window.
    static const QString ShowOutages;

    AlertNotices(const MonitorEngine& engine, INotifications& sink, QObject* parent = nullptr);

    // The notice for a crossing: the host as typed, the index in per cent
    // and the local time of day.
    static DesktopNotice notice(bool up, const QString& host, int percent, TDateTime at);

signals:
    void outagesRequested();

private:
    void crossed(bool up);

    const MonitorEngine& m_engine;
    INotifications& m_sink;
};
