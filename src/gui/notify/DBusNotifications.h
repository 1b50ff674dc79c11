#pragma once

#include "INotifications.h"

#include <QDBusConnection>
#include <QHash>

#include <optional>

// The desktop's notification service (org.freedesktop.Notifications) on the
// session bus. The bus is reached at the first notice, not before; calls are
// asynchronous, so a missing bus or service costs nothing and says nothing.
// Each notice replaces the previous one of its group while that is still on
// screen.
class DBusNotifications : public INotifications {
    Q_OBJECT
public:
    explicit DBusNotifications(QObject* parent = nullptr);

    void notify(const DesktopNotice& notice) override;

    // The service's id of the last notice on screen; 0 when none is known.
    uint currentId() const { return m_currentId; }

signals:
    // The service answered a notice, with its id (0: it refused it).
    void delivered(uint id);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    // The session bus with the service's signals heard; none without a bus.
    QDBusConnection* bus();

    std::optional<QDBusConnection> m_bus;
    uint m_currentId = 0;
    QHash<QString, uint> m_shown; // group -> id, while on screen
};
