#include "TestMain.h"
#include "notify/AlertNotices.h"
#include "notify/DBusNotifications.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>

// The alerts' notifications through the real session bus: to dunst, which
// shows them, offers their action and keeps them in its history; to a bus
// without a notification service; and with no bus at all. desktop-run.sh
// builds each of those around this program.
class TestNotifyDaemon : public QObject {
    Q_OBJECT

    // What dunstctl printed; "failed" when it did not work.
    static QString dunstctl(const QStringList& arguments) {
        QProcess p;
        p.start(QStringLiteral("dunstctl"), arguments);
        if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("failed");
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    // dunst's history, newest first, as (summary, body, urgency) triples;
    // desktop-run.sh has dunst put the urgency in front of the text.
    static QList<QStringList> history() {
        QList<QStringList> entries;
        const QJsonObject doc = QJsonDocument::fromJson(dunstctl({"history"}).toUtf8()).object();
        for (const QJsonValue group : doc.value("data").toArray())
            for (const QJsonValue entry : group.toArray()) {
                const QJsonObject e = entry.toObject();
                const QString text = e["message"]["data"].toString();
                entries.append({e["summary"]["data"].toString(), e["body"]["data"].toString(),
                                text.mid(1, text.indexOf(u']') - 1)});
            }
        return entries;
    }
    static uint send(DBusNotifications& bus, const DesktopNotice& notice) {
        QSignalSpy delivered(&bus, &DBusNotifications::delivered);
        bus.notify(notice);
        if (!delivered.wait(5000))
            return 0;
        return delivered.at(0).at(0).toUInt();
    }

    const DesktopNotice lost = AlertNotices::notice({false, "192.0.2.1", "192.0.2.1", 25, 46215.5, 15, 15, true});
    const DesktopNotice back =
        AlertNotices::notice({true, "192.0.2.1", "192.0.2.1", 71, 46215.5 + 3723 / 86400.0, 46, 0, false});

private slots:
    void alertsReachTheDaemon() {
        DBusNotifications bus;
        QSignalSpy actions(&bus, &INotifications::actionInvoked);
        const uint id = send(bus, lost);
        QVERIFY(id > 0);
        QCOMPARE(bus.currentId(), id);
        QCOMPARE(dunstctl({"count", "displayed"}).trimmed(), "1");

        // The user picks "Show outages" in dunst's menu of the notification.
        QVERIFY(dunstctl({"context"}) != "failed");
        QTRY_COMPARE_WITH_TIMEOUT(actions.size(), 1, 5000);
        QCOMPARE(actions.at(0).at(0).toString(), AlertNotices::ShowOutages);
        QFile menu(qEnvironmentVariable("LINKVIGIL_DMENU_LOG"));
        QVERIFY(menu.open(QIODevice::ReadOnly));
        QVERIFY2(menu.readAll().contains("Show outages"), "dunst offered no \"Show outages\"");

        dunstctl({"close-all"});
        QTRY_COMPARE_WITH_TIMEOUT(bus.currentId(), 0u, 5000); // told it is closed
        QVERIFY(send(bus, back) > 0);
        dunstctl({"close-all"});
        QTRY_COMPARE_WITH_TIMEOUT(history().size(), 2, 5000);
        const QList<QStringList> shown = history();
        QCOMPARE(shown.at(1),
                 QStringList({"Connection to 192.0.2.1 lost", "Reliability 25 % at 12:00:00", "CRITICAL"}));
        QCOMPARE(shown.at(0),
                 QStringList({"Connection to 192.0.2.1 is back", "Reliability 71 % at 13:02:03", "NORMAL"}));
    }

    // The connection coming back while "lost" is still on screen takes
    // its place instead of piling up.
    void replacedWhileShown() {
        DBusNotifications bus;
        const uint id = send(bus, lost);
        QVERIFY(id > 0);
        QCOMPARE(send(bus, back), id);
        QCOMPARE(dunstctl({"count", "displayed"}).trimmed(), "1");
        dunstctl({"close-all"});
    }

    // The bus answers at once that nobody serves the notifications: nothing
    // more happens, and nothing is said.
    void noServiceIsQuiet() {
        DBusNotifications bus;
        QSignalSpy delivered(&bus, &DBusNotifications::delivered);
        QElapsedTimer sending;
        sending.start();
        bus.notify(lost);
        QVERIFY2(sending.elapsed() < 500, qPrintable(QString::number(sending.elapsed())));
        QVERIFY(delivered.wait(5000));
        QCOMPARE(delivered.at(0).at(0).toUInt(), 0u);
        QCOMPARE(bus.currentId(), 0u);
    }

    // No bus to reach: desktop-run.sh names a socket that is not there, so
    // libdbus cannot start a bus of its own either.
    void noBusIsQuiet() {
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY2(address.startsWith("unix:path=") && !QFile::exists(address.mid(10)), qPrintable(address));
        QVERIFY(!QDBusConnection::sessionBus().isConnected());
        DBusNotifications bus;
        QSignalSpy delivered(&bus, &DBusNotifications::delivered);
        QElapsedTimer sending;
        sending.start();
        bus.notify(lost);
        bus.notify(back);
        QVERIFY2(sending.elapsed() < 500, qPrintable(QString::number(sending.elapsed())));
        QTest::qWait(200);
        QCOMPARE(delivered.size(), 0);
    }
};

LINKVIGIL_TEST_MAIN(TestNotifyDaemon)
#include "TestNotifyDaemon.moc"
