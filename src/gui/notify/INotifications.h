#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// One desktop notification as the freedesktop.org protocol carries it.
struct DesktopNotice {
    enum class Urgency { Low = 0, Normal = 1, Critical = 2 };
    QString summary;
    QString body;
    Urgency urgency = Urgency::Normal;
    // Pairs of action key and label, in the protocol's order.
    QStringList actions;
    // The protocol's category hint, e.g. "network.disconnected"; empty for none.
    QString category;
    // Notices of one group (the host they are about) take each other's place
    // while on screen; those of other groups stand beside them.
    QString group;
};

// Where the program's notifications go: the desktop's notification service,
// or a test's recorder. An action the user picks on one of them comes back
// as actionInvoked with its key.
class INotifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Sends without waiting for the service; a notice that cannot be shown
    // is dropped without a word.
    virtual void notify(const DesktopNotice& notice) = 0;

signals:
    void actionInvoked(const QString& action);
};
