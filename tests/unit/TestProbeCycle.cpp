#include "MonitorFixture.h"
#include "TestMain.h"
#include "engine/TTimer.h"
#include "icmp/AddressText.h"
#include "widgets/TGauge.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

// The probe cycle driven through the main window: ticks, lookups, Start and
// Stop, the recent hosts and the interval and time-out fields.
class TestProbeCycle : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    void type(QComboBox* box, const QString& text) { box->setEditText(text); }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->create();
        m = f->main.get();
    }
    void cleanup() { f.reset(); }

    void startsIdleWithItsDefaults() {
        QCOMPARE(m->windowTitle(), QStringLiteral("Linkvigil"));
        QCOMPARE(int(m->Engine->MonitorState), int(Idle));
        QVERIFY(m->StartButton->isEnabled());
        QVERIFY(!m->StopButton->isEnabled());
        QCOMPARE(m->edInterval->text(), QStringLiteral("1000"));
        QCOMPARE(m->edTimeout->text(), QStringLiteral("1000"));
        QCOMPARE(m->lbLegendTop->text(), QStringLiteral("1000 ms"));
        QCOMPARE(m->lbLegendMid->text(), QStringLiteral("500 ms"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("Type in a valid IP-address or web-adress"));
        QVERIFY(m->StatusBar->currentMessage().isEmpty());
        QVERIFY(!m->Engine->Timer->Enabled());
    }

    void dottedAddressResolvesAtOnceAndFirstTickAfterStartEchoes() {
        type(m->cbConnectTo, QStringLiteral("192.0.2.1"));
        m->cbConnectToExit();
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: 192.0.2.1"));
        QCOMPARE(m->Engine->Ping->Address(), QStringLiteral("192.0.2.1"));

        m->StartButtonClick();
        QVERIFY(m->Engine->Timer->Enabled());
        QVERIFY(!m->StartButton->isEnabled());
        QVERIFY(m->StopButton->isEnabled());
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        f->echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), 12, 56));
        m->Engine->TimerTimer();
        QCOMPARE(f->echo->sent.size(), size_t(1));
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved)); // the reply handed the cycle back
        QCOMPARE(m->IPlabel->text(), QStringLiteral("192.0.2.1"));
    }

    void firstTickResolvesAName() {
        type(m->cbConnectTo, QStringLiteral("echo-host.test"));
        m->StartButtonClick();
        m->Engine->TimerTimer(); // Idle: resolve
        QCOMPARE(int(m->Engine->MonitorState), int(Resolving));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("Resolving host-address.."));
        m->Engine->TimerTimer(); // Resolving: nothing
        QVERIFY(f->echo->sent.empty());
        f->lookup->complete(f->lookup->last().id, 0, inet::parse(QStringLiteral("192.0.2.9")));
        QTRY_COMPARE(int(m->Engine->MonitorState), int(Resolved));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: 192.0.2.9"));
        QCOMPARE(m->cbConnectTo->itemText(0), QStringLiteral("echo-host.test"));
        m->Engine->TimerTimer();
        QCOMPARE(f->echo->at().request.target.v4(), inet::parse(QStringLiteral("192.0.2.9")));
    }

    void lookupFailedAsksAgain_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("retried");
        QTest::newRow("Yes retries") << int(IMessageBoxes::Yes) << true;
        QTest::newRow("No stops") << int(IMessageBoxes::No) << false;
        QTest::newRow("Cancel stops") << int(IMessageBoxes::Cancel) << false;
    }
    void lookupFailedAsksAgain() {
        QFETCH(int, answer);
        QFETCH(bool, retried);
        type(m->cbConnectTo, QStringLiteral("nosuch.test"));
        m->StartButtonClick();
        m->Engine->TimerTimer();
        f->lookup->complete(f->lookup->last().id, 11001);
        QTRY_COMPARE(int(m->Engine->MonitorState), int(LookupFailed));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("Cannot find host-address."));

        f->boxes.setNextAnswer(IMessageBoxes::Button(answer));
        m->Engine->TimerTimer();
        QCOMPARE(f->boxes.shown.size(), 1);
        QVERIFY(f->boxes.shown[0].kind == IMessageBoxes::Kind::Error);
        QCOMPARE(f->boxes.shown[0].text, QStringLiteral("The address could not be found.\r\nTry again?"));
        QCOMPARE(f->boxes.shown[0].buttons, int(IMessageBoxes::Yes | IMessageBoxes::No | IMessageBoxes::Cancel));
        if (retried) {
            QCOMPARE(int(m->Engine->MonitorState), int(Resolving));
            QCOMPARE(f->lookup->started.size(), size_t(2));
            QVERIFY(m->Engine->Timer->Enabled());
        } else {
            QCOMPARE(int(m->Engine->MonitorState), int(LookupFailed));
            QVERIFY(!m->Engine->Timer->Enabled());
            QVERIFY(m->StartButton->isEnabled());
            // The next Start asks again on its first tick.
            m->StartButtonClick();
            m->Engine->TimerTimer();
            QCOMPARE(f->boxes.shown.size(), 2);
        }
    }

    void stopAndStartResumeWithoutANewLookup() {
        type(m->cbConnectTo, QStringLiteral("192.0.2.1"));
        m->cbConnectToExit();
        m->StartButtonClick();
        m->Engine->TimerTimer();
        m->StopButtonClick();
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved)); // Stop leaves the state
        m->StartButtonClick();
        m->Engine->TimerTimer();
        QCOMPARE(f->echo->sent.size(), size_t(2));
        QVERIFY(f->lookup->started.empty());
    }

    void tickDuringAnEchoDoesNothing() {
        type(m->cbConnectTo, QStringLiteral("192.0.2.1"));
        m->cbConnectToExit();
        m->StartButtonClick();
        int nested = 0;
        f->echo->duringEcho = [&] {
            m->Engine->TimerTimer(); // as from the event loop while the echo waits
            ++nested;
        };
        m->Engine->TimerTimer();
        QCOMPARE(nested, 1);
        QCOMPARE(f->echo->sent.size(), size_t(1));
        QVERIFY(!m->Engine->TickBusy);
    }

    void unusableAddressKeepsWaitingAndWidensTheWait() {
        type(m->cbConnectTo, QStringLiteral("192.0.2.1"));
        m->cbConnectToExit();
        m->Engine->Ping->SetAddress(QStringLiteral("255.255.255.255")); // an address that cannot be echoed
        m->StartButtonClick();
        m->Engine->TimerTimer();
        QCOMPARE(int(m->Engine->MonitorState), int(Waiting));
        m->Engine->TimerTimer();
        m->Engine->TimerTimer();
        QCOMPARE(m->Engine->WaitTicks, 2);
        QCOMPARE(m->Chart.image().pixel(2, 50), ChartCanvas::Red);
        // Leaving the address box ends it.
        m->cbConnectToExit();
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved));
    }

    void recentHostsKeepTenNewestFirst() {
        for (int i = 1; i <= 12; ++i) {
            type(m->cbConnectTo, QStringLiteral("192.0.2.%1").arg(i));
            m->cbConnectToExit();
        }
        QCOMPARE(m->cbConnectTo->count(), 10);
        QCOMPARE(m->cbConnectTo->itemText(0), QStringLiteral("192.0.2.12"));
        QCOMPARE(m->cbConnectTo->currentIndex(), 0);
        type(m->cbConnectTo, QStringLiteral("192.0.2.5"));
        m->cbConnectToExit();
        QCOMPARE(m->cbConnectTo->itemText(0), QStringLiteral("192.0.2.5"));
        QCOMPARE(m->cbConnectTo->findText(QStringLiteral("192.0.2.5")), 0);
        QCOMPARE(m->cbConnectTo->count(), 10);
    }

    void fieldLimits_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("interval 50") << "edInterval"
                                     << "50"
                                     << "200";
        QTest::newRow("interval 60001") << "edInterval"
                                        << "60001"
                                        << "60000";
        QTest::newRow("interval hex") << "edInterval"
                                      << "$3E8"
                                      << "1000";
        QTest::newRow("interval negative") << "edInterval"
                                           << "-5"
                                           << "200";
        QTest::newRow("time-out 100") << "edTimeout"
                                      << "100"
                                      << "500";
        QTest::newRow("time-out 20000") << "edTimeout"
                                        << "20000"
                                        << "10000";
        QTest::newRow("time-out 1001") << "edTimeout"
                                       << " 1001"
                                       << "1001";
    }
    void fieldLimits() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        auto* edit = m->findChild<QLineEdit*>(field);
        edit->setText(typed);
        if (edit == m->edInterval)
            m->edIntervalExit();
        else
            m->edTimeoutExit();
        QCOMPARE(edit->text(), shown);
        if (edit == m->edInterval) {
            QCOMPARE(m->Engine->Timer->Interval(), shown.toInt());
        } else {
            QCOMPARE(m->Engine->Ping->Timeout(), shown.toInt());
            QCOMPARE(m->lbLegendTop->text(), shown + QStringLiteral(" ms"));
            QCOMPARE(m->lbLegendMid->text(), QString::number(shown.toInt() / 2) + QStringLiteral(" ms"));
        }
    }

    void badNumberIsAnErrorAndKeepsTheValue() {
        m->edTimeout->setText(QStringLiteral("12x"));
        try {
            m->edTimeoutExit();
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QStringLiteral("'12x' is not a valid integer value"));
        }
        QCOMPARE(m->edTimeout->text(), QStringLiteral("12x"));
        QCOMPARE(m->Engine->Ping->Timeout(), 1000);
    }

    // Through the real focus: leaving the field by clicking Start runs the
    // field's exit step first, and a bad number reaches the error box.
    void leavingAFieldRunsItsExitBeforeTheClick() {
        m->show();
        QVERIFY(QTest::qWaitForWindowActive(m));
        type(m->cbConnectTo, QStringLiteral("192.0.2.1"));
        m->edInterval->setFocus();
        m->edInterval->setText(QStringLiteral("50"));
        QTest::mouseClick(m->StartButton, Qt::LeftButton);
        QCOMPARE(m->edInterval->text(), QStringLiteral("200"));
        QCOMPARE(m->Engine->Timer->Interval(), 200);
        QVERIFY(m->Engine->Timer->Enabled());

        m->edTimeout->setFocus();
        m->edTimeout->setText(QStringLiteral("abc"));
        m->cbConnectTo->setFocus();
        QTRY_COMPARE(f->boxes.errors, QStringList{QStringLiteral("'abc' is not a valid integer value.")});
        // Leaving the address box resolved it.
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved));
    }

    void enterStartsAndEscapeStops() {
        m->show();
        QVERIFY(QTest::qWaitForWindowActive(m));
        m->edInterval->setFocus();
        QTest::keyClick(m->edInterval, Qt::Key_Return);
        QVERIFY(!m->StartButton->isEnabled());
        QVERIFY(m->Engine->Timer->Enabled());
        QVERIFY(!m->ShowHint);
        QTest::keyClick(m->edInterval, Qt::Key_Escape);
        QVERIFY(m->StartButton->isEnabled());
        QVERIFY(!m->Engine->Timer->Enabled());
        QTest::keyClick(m->edInterval, Qt::Key_Escape); // Stop disabled: nothing
        QVERIFY(m->StartButton->isEnabled());
    }

    void zeroIntervalLeavesTheTimerSilent() {
        m->Engine->Timer->SetInterval(0);
        m->StartButtonClick();
        QVERIFY(m->Engine->Timer->Enabled());
        QVERIFY(!m->Engine->Timer->Running());
        m->edInterval->setText(QStringLiteral("0"));
        m->edIntervalExit();
        QCOMPARE(m->Engine->Timer->Interval(), 200);
        QVERIFY(m->Engine->Timer->Running());
    }

    void startResetsIndexAndGaugeButNotTheAlertState() {
        m->Engine->ConnectionUp = false;
        m->ggReliab->SetProgress(40);
        m->StatusBar->showMessage(QStringLiteral("old"));
        m->StartButtonClick();
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        QCOMPARE(m->ggReliab->Progress(), 0);
        QVERIFY(!m->Engine->ConnectionUp);
        QVERIFY(m->StatusBar->currentMessage().isEmpty());
        QCOMPARE(m->Engine->PeriodStart, f->clock.now);
        QCOMPARE(m->Engine->PeriodEnd, f->clock.now + m->Engine->PeriodLength);
    }

    void lookupThatCannotStartShowsTheErrorAndStaysResolving() {
        f->lookup->startError = 10055;
        type(m->cbConnectTo, QStringLiteral("host.test"));
        try {
            m->cbConnectToExit();
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QStringLiteral("host.test: can't start DNS lookup, error #10055"));
        }
        QCOMPARE(int(m->Engine->MonitorState), int(Resolving));
    }
};

LINKVIGIL_TEST_MAIN(TestProbeCycle)
#include "TestProbeCycle.moc"
