#pragma once

#include "INotifications.h"
#include "monitor/AlertCrossing.h"

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

    // The notice for a crossing: the host as typed with its address, the
    // index in per cent and the local time of day. A fall is "lost" when the
    // last echoes all went unanswered, else "unreliable", with the share of
    // echoes lost since the crossing before.
    static DesktopNotice notice(const AlertCrossing& crossing);

signals:
    void outagesRequested();

private:
    void crossed(const AlertCrossing& crossing);

    const MonitorEngine& m_engine;
    INotifications& m_sink;
};
