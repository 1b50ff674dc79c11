#include "AlertNotices.h"

#include "clock/DateTime.h"
#include "engine/MonitorEngine.h"
#include "icmp/AddressText.h"

const QString AlertNotices::ShowOutages = QStringLiteral("show-outages");

AlertNotices::AlertNotices(const MonitorEngine& engine, INotifications& sink, QObject* parent)
    : QObject(parent), m_engine(engine), m_sink(sink) {
    connect(&engine, &MonitorEngine::alertCrossed, this, &AlertNotices::crossed);
    connect(&sink, &INotifications::actionInvoked, this, [this](const QString& action) {
        if (action == ShowOutages)
            emit outagesRequested();
    });
}

DesktopNotice AlertNotices::notice(const AlertCrossing& crossing) {
    const datetime::Fields t = datetime::decode(crossing.at);
    const QString host = inet::hostLabel(crossing.host, crossing.address);
    DesktopNotice n;
    n.group = crossing.host;
    n.body = QStringLiteral("Reliability %1 % at %2:%3:%4")
                 .arg(crossing.percent)
                 .arg(t.hour, 2, 10, QLatin1Char('0'))
                 .arg(t.minute, 2, 10, QLatin1Char('0'))
                 .arg(t.second, 2, 10, QLatin1Char('0'));
    if (crossing.up) {
        n.summary = QStringLiteral("Connection to %1 is back").arg(host);
        n.category = QStringLiteral("network.connected");
        return n;
    }
    if (crossing.allRecentLost) {
        n.summary = QStringLiteral("Connection to %1 lost").arg(host);
    } else {
        n.summary = QStringLiteral("Connection to %1 unreliable").arg(host);
        n.body += QStringLiteral(": %1 of the last %2 echoes lost (%3 %)")
                      .arg(crossing.lost)
                      .arg(crossing.echoes)
                      .arg(crossing.echoes > 0 ? qRound(100.0 * crossing.lost / crossing.echoes) : 0);
    }
    n.urgency = DesktopNotice::Urgency::Critical;
    n.actions = {ShowOutages, QStringLiteral("Show outages")};
    n.category = QStringLiteral("network.disconnected");
    return n;
}

void AlertNotices::crossed(const AlertCrossing& crossing) {
    if (!m_engine.Options().DesktopNotifications)
        return;
    m_sink.notify(notice(crossing));
}
