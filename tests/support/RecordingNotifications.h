#pragma once

#include "notify/INotifications.h"

#include <QList>

// Notifications kept in a list instead of shown; a test plays the user's
// choice of an action by emitting actionInvoked.
class RecordingNotifications : public INotifications {
public:
    void notify(const DesktopNotice& notice) override { sent.append(notice); }
    QList<DesktopNotice> sent;
};
