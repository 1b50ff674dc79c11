#include "MonitorFixture.h"
#include "RecordingNotifications.h"
#include "TestMain.h"
#include "icmp/AddressText.h"
#include "notify/AlertNotices.h"

#include <QComboBox>

// The alerts as desktop notifications: what they say, how urgent they are,
// the way from the falling one to the outages, and the off switch.
class TestNotices : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    std::unique_ptr<RecordingNotifications> sink;
    std::unique_ptr<AlertNotices> notices;
    TMainForm* m = nullptr;

    void echoes(int count, bool answered) {
        for (int i = 0; i < count; ++i) {
            if (answered)
                f->echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), 10, 56));
            m->Engine->TimerTimer();
        }
    }
    void setNotifications(bool on) {
        MonitorOptions options = m->Engine->Options();
        options.DesktopNotifications = on;
        m->Engine->SetOptions(options);
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->create();
        m = f->main.get();
        sink = std::make_unique<RecordingNotifications>();
        notices = std::make_unique<AlertNotices>(*m->Engine, *sink);
        ConnectNotices(m, notices.get());
        f->startWatching(QStringLiteral("192.0.2.1"));
    }
    void cleanup() {
        notices.reset();
        sink.reset();
        f.reset();
    }

    void fallingThenRising() {
        echoes(14, false);
        QVERIFY(sink->sent.isEmpty()); // 30 % is not below 30 %
        echoes(1, false);
        QCOMPARE(sink->sent.size(), 1);
        const DesktopNotice lost = sink->sent.at(0);
        QCOMPARE(lost.summary, "Connection to 192.0.2.1 lost");
        QCOMPARE(lost.body, "Reliability 25 % at 12:00:00");
        QCOMPARE(lost.urgency, DesktopNotice::Urgency::Critical);
        QCOMPARE(lost.actions, QStringList({"show-outages", "Show outages"}));
        // Back above 70 % an hour, a minute and three seconds later.
        f->clock.advanceSeconds(3723);
        echoes(45, true);
        QCOMPARE(sink->sent.size(), 1);
        echoes(1, true);
        QCOMPARE(sink->sent.size(), 2);
        const DesktopNotice back = sink->sent.at(1);
        QCOMPARE(back.summary, "Connection to 192.0.2.1 is back");
        QCOMPARE(back.body, "Reliability 71 % at 13:02:03");
        QCOMPARE(back.urgency, DesktopNotice::Urgency::Normal);
        QVERIFY(back.actions.isEmpty());
        // Further losses and answers that cross nothing send nothing.
        echoes(5, false);
        QCOMPARE(sink->sent.size(), 2);
    }

    // A fall from echoes that were partly answered is "unreliable", with the
    // share lost; each notice names the host it is about, and only a notice
    // of the same host takes its place.
    void wordedByWhatHappenedForItsOwnHost() {
        // Four of five answered: the index still falls, slowly.
        for (int i = 0; i < 200 && m->Engine->ConnectionUp; ++i) {
            echoes(4, true);
            echoes(1, false);
        }
        QCOMPARE(sink->sent.size(), 1);
        const DesktopNotice unreliable = sink->sent.at(0);
        QCOMPARE(unreliable.summary, "Connection to 192.0.2.1 unreliable");
        QCOMPARE(unreliable.body, "Reliability 29 % at 12:00:00: 20 of the last 100 echoes lost (20 %)");
        QCOMPARE(unreliable.urgency, DesktopNotice::Urgency::Critical);
        QCOMPARE(unreliable.group, "192.0.2.1");
        // Another host while the connection counts as down: the rise is the
        // new host's, told as its own, beside the first host's fall.
        m->StopButtonClick();
        f->startWatching(QStringLiteral("192.0.2.7"));
        m->Engine->TimerTimer(); // resolves
        f->echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.7")), 10, 56));
        m->Engine->TimerTimer();
        QCOMPARE(sink->sent.size(), 2);
        QCOMPARE(sink->sent.at(1).summary, "Connection to 192.0.2.7 is back");
        QCOMPARE(sink->sent.at(1).group, "192.0.2.7");
    }

    void offSwitchSendsNothing() {
        setNotifications(false);
        echoes(15, false);
        QVERIFY(!m->Engine->ConnectionUp);
        QVERIFY(sink->sent.isEmpty());
        // Switched on again, the next crossing is sent.
        setNotifications(true);
        echoes(46, true);
        QCOMPARE(sink->sent.size(), 1);
    }

    void showOutagesOpensTheOutagesWindow() {
        emit sink->actionInvoked(QStringLiteral("default"));
        QVERIFY(!f->outages->isVisible());
        emit sink->actionInvoked(AlertNotices::ShowOutages);
        QVERIFY(f->outages->isVisible());
    }
};

LINKVIGIL_TEST_MAIN(TestNotices)
#include "TestNotices.moc"
