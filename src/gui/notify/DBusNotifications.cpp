#include "DBusNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <algorithm>
#include <iterator>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// Long enough for a service started on demand; the call never blocks.
constexpr int kCallTimeoutMs = 10000;

} // namespace

DBusNotifications::DBusNotifications(QObject* parent) : INotifications(parent) {}

QDBusConnection* DBusNotifications::bus() {
    if (!m_bus) {
        m_bus = QDBusConnection::sessionBus();
        // The signals of whichever program serves the notifications: an empty
        // sender needs no look-up of the name's owner, and ids that are not
        // ours are ignored below.
        if (m_bus->isConnected()) {
            m_bus->connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                           SLOT(onActionInvoked(uint, QString)));
            m_bus->connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                           SLOT(onClosed(uint, uint)));
        }
    }
    return m_bus->isConnected() ? &*m_bus : nullptr;
}

void DBusNotifications::notify(const DesktopNotice& notice) {
    QDBusConnection* connection = bus();
    if (!connection)
        return;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("linkvigil"));
    if (!notice.category.isEmpty())
        hints.insert(QStringLiteral("category"), notice.category);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Linkvigil") << m_shown.value(notice.group) << QStringLiteral("linkvigil") << notice.summary
         << notice.body << notice.actions << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(connection->asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, group = notice.group](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusPendingReply<uint> reply = *done;
                const uint id = reply.isValid() ? reply.value() : 0;
                if (id) {
                    m_currentId = id;
                    m_shown.insert(group, id);
                }
                emit delivered(id);
            });
}

void DBusNotifications::onActionInvoked(uint id, const QString& action) {
    if (id && std::find(m_shown.cbegin(), m_shown.cend(), id) != m_shown.cend())
        emit actionInvoked(action);
}

void DBusNotifications::onClosed(uint id, uint) {
    if (id == m_currentId)
        m_currentId = 0;
    for (auto it = m_shown.begin(); it != m_shown.end();)
        it = it.value() == id ? m_shown.erase(it) : std::next(it);
}
