#include "MonitorFixture.h"
#include "TestMain.h"
#include "icmp/AddressText.h"
#include "tray/TrayIcon.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

using Picture = TrayStatus::Picture;

// The tray icon: its picture and tool tip through a run, its menu and click
// as the window's own controls, and closing the window into the tray.
class TestTray : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    std::unique_ptr<TrayStatus> status;
    std::unique_ptr<TrayIcon> tray;
    TMainForm* m = nullptr;

    void echoes(int count, bool answered, std::uint32_t rtt = 12) {
        for (int i = 0; i < count; ++i) {
            if (answered)
                f->echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), rtt, 56));
            m->Engine->TimerTimer();
        }
    }
    void keepInTray(bool on) {
        MonitorOptions options = m->Engine->Options();
        options.MinimiseToTray = on;
        m->Engine->SetOptions(options);
    }
    QString menuText() {
        emit tray->menu()->aboutToShow();
        return tray->showHideAction()->text();
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->create();
        m = f->main.get();
        status = std::make_unique<TrayStatus>(*m->Engine);
        tray = std::make_unique<TrayIcon>(*status);
        ConnectTray(m, tray.get());
        m->show();
    }
    void cleanup() {
        tray.reset();
        status.reset();
        f.reset();
        QGuiApplication::setQuitOnLastWindowClosed(true);
    }

    void iconsAreThere() {
        for (const char* name : {"idle", "up", "down", "lookup"})
            QVERIFY2(!QIcon(QStringLiteral(":/icons/tray-%1.svg").arg(QLatin1String(name))).pixmap(22).isNull(), name);
    }

    void pictureAndToolTipFollowARun() {
        QCOMPARE(status->picture(), Picture::Idle);
        QCOMPARE(tray->icon()->toolTip(), "Linkvigil — idle");
        m->cbConnectTo->setEditText(QStringLiteral("gateway.test"));
        tray->startAction()->trigger();
        QVERIFY(m->Engine->Running());
        QVERIFY(!m->ShowHint); // as the Start button does
        QVERIFY(!m->StartButton->isEnabled());
        QVERIFY(!tray->startAction()->isEnabled());
        QVERIFY(tray->stopAction()->isEnabled());

        m->Engine->TimerTimer(); // the first tick looks the host up
        QCOMPARE(status->picture(), Picture::LookingUp);
        QTRY_COMPARE(tray->icon()->toolTip(), "Linkvigil — gateway.test\nLooking up the host");
        f->lookup->complete(f->lookup->last().id, 0, inet::parse(QStringLiteral("192.0.2.1")));
        QTRY_COMPARE(tray->icon()->toolTip(), "Linkvigil — gateway.test\nWaiting for the first reply");
        QCOMPARE(status->picture(), Picture::Up);

        echoes(1, true, 12);
        QCOMPARE(tray->icon()->toolTip(),
                 "Linkvigil — gateway.test (192.0.2.1)\nReliability 100 %\nLast round trip 12 ms");
        echoes(14, false);
        QCOMPARE(status->picture(), Picture::Up); // 30 % is not below
        echoes(1, false);
        QCOMPARE(status->picture(), Picture::Down);
        QCOMPARE(
            tray->icon()->toolTip(),
            "Linkvigil — gateway.test (192.0.2.1)\nReliability 25 % (connection lost)\nLast echo: Request timed out");
        echoes(46, true);
        QCOMPARE(status->picture(), Picture::Up);

        tray->stopAction()->trigger();
        QVERIFY(!m->Engine->Running());
        QVERIFY(m->StartButton->isEnabled());
        QCOMPARE(status->picture(), Picture::Idle);
        QCOMPARE(tray->icon()->toolTip(), "Linkvigil — idle");
        // A new run forgets the last one's echo.
        tray->startAction()->trigger();
        QVERIFY(tray->icon()->toolTip().endsWith("Waiting for the first reply"));
    }

    void lookupThatFailsShowsTheLookupPicture() {
        m->cbConnectTo->setEditText(QStringLiteral("nowhere.test"));
        tray->startAction()->trigger();
        f->boxes.setNextAnswer(IMessageBoxes::No);
        m->Engine->TimerTimer();
        f->lookup->complete(f->lookup->last().id, 11001);
        QTRY_COMPARE(tray->icon()->toolTip(), "Linkvigil — nowhere.test\nThe host cannot be found");
        QCOMPARE(status->picture(), Picture::LookingUp);
    }

    void clickAndMenuShowAndHideTheWindow() {
        QCOMPARE(menuText(), "Hide window");
        emit tray->icon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(m->isHidden());
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed()); // closing the outages now must not end the program
        QCOMPARE(menuText(), "Show window");
        tray->showHideAction()->trigger();
        QVERIFY(m->isVisible());
        emit tray->icon()->activated(QSystemTrayIcon::Context); // the menu's own business
        QVERIFY(m->isVisible());
    }

    void outagesFromTheMenu() {
        const auto outages = tray->menu()->actions();
        auto it = std::find_if(outages.begin(), outages.end(), [](QAction* a) { return a->text() == "Outages"; });
        QVERIFY(it != outages.end());
        (*it)->trigger();
        QVERIFY(f->outages->isVisible());
    }

    void closeHidesInTrayOnlyWhenAskedAndPossible_data() {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("trayShown");
        QTest::addColumn<bool>("quit");
        QTest::addColumn<bool>("ends");
        QTest::newRow("setting off") << false << true << false << true;
        QTest::newRow("no tray") << true << false << false << true;
        QTest::newRow("into the tray") << true << true << false << false;
        QTest::newRow("quit") << true << true << true << true;
    }
    void closeHidesInTrayOnlyWhenAskedAndPossible() {
        QFETCH(bool, keep);
        QFETCH(bool, trayShown);
        QFETCH(bool, quit);
        QFETCH(bool, ends);
        keepInTray(keep);
        m->TrayShown = [trayShown] { return trayShown; };
        m->cbConnectTo->setEditText(QStringLiteral("192.0.2.1"));
        m->StartButtonClick();
        if (quit) {
            QVERIFY(!m->close()); // into the tray first
            const auto actions = tray->menu()->actions();
            actions.last()->trigger(); // Quit
        } else {
            QCOMPARE(m->close(), ends);
        }
        QVERIFY(m->isHidden());
        // The program ends with its monitoring; in the tray it goes on.
        QCOMPARE(m->Engine->Running(), !ends);
    }
};

LINKVIGIL_TEST_MAIN(TestTray)
#include "TestTray.moc"
