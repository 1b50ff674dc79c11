#include "AlertNotices.h"

#include "clock/DateTime.h"
#include "engine/MonitorEngine.h"
#include "monitor/Reliability.h"

const QString AlertNotices::ShowOutages = QStringLiteral("show-outages");

AlertNotices::AlertNotices(const MonitorEngine& engine, INotifications& sink, QObject* parent)
    : QObject(parent), m_engine(engine), m_sink(sink) {
    connect(&engine, &MonitorEngine::connectionChanged, this, [this](bool up) { crossed(up); });
    connect(&sink, &INotifications::actionInvoked, this, [this](const QString& action) {
        if (action == ShowOutages)
            emit outagesRequested();
    });
}

DesktopNotice AlertNotices::notice(bool up, const QString& host, int percent, TDateTime at) {
    const datetime::Fields t = datetime::decode(at);
    DesktopNotice n;
    n.summary = (up ? QStringLiteral("Connection to %1 is back") : QStringLiteral("Connection to %1 lost")).arg(host);
    n.body = QStringLiteral("Reliability %1 % at %2:%3:%4")
                 .arg(percent)
                 .arg(t.hour, 2, 10, QLatin1Char('0'))
                 .arg(t.minute, 2, 10, QLatin1Char('0'))
                 .arg(t.second, 2, 10, QLatin1Char('0'));
    if (up) {
        n.category = QStringLiteral("network.connected");
    } else {
        n.urgency = DesktopNotice::Urgency::Critical;
        n.actions = {ShowOutages, QStringLiteral("Show outages")};
        n.category = QStringLiteral("network.disconnected");
    }
    return n;
}

void AlertNotices::crossed(bool up) {
    if (!m_engine.Options().DesktopNotifications)
        return;
    m_sink.notify(
        notice(up, m_engine.Host.trimmed(), reliability::percent(m_engine.ReliabilityIndex), m_engine.Clock().Now()));
}
