// The real main window against real test hosts in the private network of
// netns-run.sh: index, caption and chart move with real echoes.

#include "MonitorFixture.h"
#include "TestMain.h"
#include "engine/TTimer.h"
#include "widgets/TGauge.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

class TestMonitorNetns : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    void watch(const QString& host) {
        m->cbConnectTo->setEditText(host);
        m->cbConnectToExit();
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("LINKVIGIL_NETNS"))
            QSKIP("SKIPPED LOUDLY: this test must run inside tests/netns/netns-run.sh (root, network namespaces)");
    }
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->makeRealPing = true;
        f->create();
        m = f->main.get();
        m->show();
        m->edInterval->setText(QStringLiteral("200"));
        m->edIntervalExit();
        m->edTimeout->setText(QStringLiteral("500"));
        m->edTimeoutExit();
    }
    void cleanup() { f.reset(); }

    void answeredHostKeepsTheIndexAndDrawsBars() {
        watch(QStringLiteral("192.0.2.1"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: 192.0.2.1"));
        m->StartButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(m->Engine->ChartColumn >= 5, 5000);
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        QCOMPARE(m->windowTitle(), QStringLiteral("Connection 100%"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("192.0.2.1"));
        // Round trips on a local link are far below the time-out: short bars.
        QCOMPARE(m->Chart.image().pixel(2, 96), ChartCanvas::Teal);
        QCOMPARE(m->Chart.image().pixel(2, 50), ChartCanvas::Navy);
        QCOMPARE(m->Chart.image().pixel(m->Engine->ChartColumn, 50), ChartCanvas::Red);
    }

    void silentHostLowersTheIndex() {
        watch(QStringLiteral("192.0.2.2"));
        m->StartButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(m->Engine->ReliabilityIndex <= 900, 5000);
        QVERIFY(m->windowTitle().startsWith(QStringLiteral("Connection 9")));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("192.0.2.2: Request timed out"));
        QCOMPARE(m->Chart.image().pixel(0, 1), ChartCanvas::Teal); // full-height bars
        // Ticks that came while an echo waited only widened nothing: each
        // reply moved the cursor by one column.
        QVERIFY(m->Engine->ChartColumn >= 2);
    }

    void nameIsLookedUpInTheBackground() {
        watch(QStringLiteral("echo-host.test"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("Resolving host-address.."));
        QTRY_COMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: 192.0.2.1"));
        watch(QStringLiteral("nosuch.test"));
        QTRY_COMPARE(m->IPlabel->text(), QStringLiteral("Cannot find host-address."));
    }

    // An IPv6 literal, however it is spelt, is shown in its canonical form
    // and watched over ICMPv6, errors included.
    void ipv6HostsAreWatchedToo() {
        watch(QStringLiteral("2001:DB8:0:0::0010"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: 2001:db8::10"));
        m->StartButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(m->Engine->ChartColumn >= 3, 5000);
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        QCOMPARE(m->IPlabel->text(), QStringLiteral("2001:db8::10"));
        m->StopButtonClick();
        watch(QStringLiteral("2001:db8::3"));
        m->StartButtonClick();
        QTRY_COMPARE_WITH_TIMEOUT(m->IPlabel->text(), QStringLiteral("2001:db8::3: Destination host unreachable"),
                                  5000);
    }

    // A name with only IPv6 addresses is watched over IPv6; one with both
    // over IPv4, unless IPv6 is preferred.
    void addressFamilyOfAName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("preferIPv6");
        QTest::addColumn<QString>("address");
        QTest::newRow("IPv6 only") << "v6only.test" << false << "2001:db8::10";
        QTest::newRow("both") << "dual-host.test" << false << "192.0.2.1";
        QTest::newRow("both, IPv6 preferred") << "dual-host.test" << true << "2001:db8::10";
    }
    void addressFamilyOfAName() {
        QFETCH(QString, name);
        QFETCH(bool, preferIPv6);
        QFETCH(QString, address);
        MonitorOptions options = m->Engine->Options();
        options.PreferIPv6 = preferIPv6;
        m->Engine->SetOptions(options);
        watch(name);
        QTRY_COMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: ") + address);
    }

    // Stop pressed while an echo to a silent host waits acts at once, not at
    // the time-out, and the echo it cut short counts as neither answered nor
    // lost.
    void stopDuringASilentEchoActsAtOnce() {
        m->edTimeout->setText(QStringLiteral("5000"));
        m->edTimeoutExit();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        watch(QStringLiteral("192.0.2.2"));
        QElapsedTimer clock;
        qint64 pressed = -1;
        qint64 stopped = -1;
        const auto pressStop = [&] {
            pressed = clock.elapsed();
            QTest::mouseClick(m->windowHandle(), Qt::LeftButton, {}, m->StopButton->geometry().center());
        };
        connect(
            m->Engine, &MonitorEngine::echoSent, this, [&] { QTimer::singleShot(1000, this, pressStop); },
            Qt::SingleShotConnection);
        connect(m->Engine, &MonitorEngine::runningChanged, this, [&](bool running) {
            if (!running)
                stopped = clock.elapsed();
        });
        clock.start();
        m->StartButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(stopped >= 0, 8000);
        qInfo("Stop acted %lld ms after the click", stopped - pressed);
        QVERIFY2(stopped - pressed < 250, qPrintable(QString::number(stopped - pressed)));
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        QCOMPARE(m->Engine->ChartColumn, 0);
    }
};

LINKVIGIL_TEST_MAIN(TestMonitorNetns)
#include "TestMonitorNetns.moc"
