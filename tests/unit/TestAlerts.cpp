#include "AppTitle.h"
#include "MonitorFixture.h"
#include "TestMain.h"
#include "engine/TTimer.h"
#include "icmp/AddressText.h"
#include "logform/TFileNameEdit.h"
#include "logform/TSpinEdit.h"
#include "widgets/TGauge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

// Echo replies through the main window: label, index, gauge, caption, the
// 30 % and 70 % alerts with their options, the warning window and its
// repeating sound.
class TestAlerts : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    void echo(bool answered, std::uint32_t rtt = 10) {
        if (answered)
            f->echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), rtt, 56));
        m->Engine->TimerTimer();
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved));
    }
    void echoes(int count, bool answered) {
        for (int i = 0; i < count; ++i)
            echo(answered);
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->create();
        m = f->main.get();
        m->cbConnectTo->setEditText(QStringLiteral("192.0.2.1"));
        m->cbConnectToExit();
        m->StartButtonClick();
    }
    void cleanup() { f.reset(); }

    void answersKeepTheIndexFull() {
        echoes(3, true);
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        QCOMPARE(m->ggReliab->Progress(), 100);
        QCOMPARE(m->ggReliab->Text(), QStringLiteral("100%"));
        QCOMPARE(m->windowTitle(), QStringLiteral("Connection 100%"));
        QCOMPARE(ApplicationTitle(), QStringLiteral("Connection 100%"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("192.0.2.1"));
    }

    void oneLossAfterAnswers() {
        echoes(5, true);
        echo(false);
        QCOMPARE(m->Engine->ReliabilityIndex, 950);
        QCOMPARE(m->windowTitle(), QStringLiteral("Connection 95%"));
        QCOMPARE(m->IPlabel->text(), QStringLiteral("192.0.2.1: Request timed out"));
        QVERIFY(m->StatusBar->currentMessage().isEmpty());
        QVERIFY(f->sound.played.isEmpty());
    }

    void fifteenthLossRaisesTheFallingAlertOnce() {
        LogForm->chbRepeatWarn->setChecked(true);
        echoes(14, false);
        QCOMPARE(m->Engine->ReliabilityIndex, 300);
        QVERIFY(f->sound.played.isEmpty());
        QVERIFY(frmWarn->isHidden());
        echo(false);
        const QString expected = QStringLiteral("07/12/2026 12:00: Connection 192.0.2.1 falls below 30%");
        QCOMPARE(m->StatusBar->currentMessage(), expected);
        QCOMPARE(f->sound.played, QStringList{QStringLiteral("Carbrake.wav")});
        QVERIFY(!m->Engine->ConnectionUp);
        QVERIFY(frmWarn->isVisible());
        QCOMPARE(frmWarn->lbMessage->text(), expected);
        QVERIFY(m->Engine->tmRepeatFail->Enabled());
        QCOMPARE(m->Engine->tmRepeatFail->Interval(), 10000);
        echoes(10, false);
        QCOMPARE(m->Engine->ReliabilityIndex, 0);
        QCOMPARE(f->sound.played.size(), 1);
    }

    void recoveryNeedsSeventyOneAnswers() {
        echoes(20, false); // down to 0, alert fell
        f->sound.played.clear();
        echoes(70, true);
        QCOMPARE(m->Engine->ReliabilityIndex, 700);
        QVERIFY(!m->Engine->ConnectionUp);
        echo(true);
        QVERIFY(m->Engine->ConnectionUp);
        QCOMPARE(f->sound.played, QStringList{QStringLiteral("Chimes.wav")});
        QCOMPARE(m->StatusBar->currentMessage(),
                 QStringLiteral("07/12/2026 12:00: Connection 192.0.2.1 rises above 70%"));
    }

    void restartWhileDownRisesOnTheFirstReply() {
        echoes(15, false);
        m->StopButtonClick();
        m->StartButtonClick(); // index back to 1000, alert state kept
        f->sound.played.clear();
        echo(true);
        QVERIFY(m->Engine->ConnectionUp);
        QCOMPARE(f->sound.played, QStringList{QStringLiteral("Chimes.wav")});
    }

    void soundOffMeansNoWindowAndNoRepeat() {
        LogForm->chSoundFail->setChecked(false);
        LogForm->chbRepeatWarn->setChecked(true);
        echoes(15, false);
        QVERIFY(f->sound.played.isEmpty());
        QVERIFY(frmWarn->isHidden());
        QVERIFY(!m->Engine->tmRepeatFail->Enabled());
        QVERIFY(!m->StatusBar->currentMessage().isEmpty());
    }

    void soundWithoutRepeatShowsNoWindow() {
        echoes(15, false);
        QCOMPARE(f->sound.played.size(), 1);
        QVERIFY(frmWarn->isHidden());
        QVERIFY(!m->Engine->tmRepeatFail->Enabled());
    }

    void recoverySoundCanBeSwitchedOff() {
        LogForm->chSoundBack->setChecked(false);
        echoes(15, false);
        f->sound.played.clear();
        echoes(71, true);
        QVERIFY(m->Engine->ConnectionUp);
        QVERIFY(f->sound.played.isEmpty());
    }

    void changedSoundFileIsPlayedLive() {
        LogForm->edSoundFail->setText(QStringLiteral("\"/tmp/my alarm.wav\""));
        LogForm->chbRepeatWarn->setChecked(true);
        LogForm->seRepeatInterval->setValue(3);
        echoes(15, false);
        QCOMPARE(f->sound.played, QStringList{QStringLiteral("\"/tmp/my alarm.wav\"")});
        QCOMPARE(m->Engine->tmRepeatFail->Interval(), 3000);
    }

    void repeatTimerRepeatsUntilOk() {
        LogForm->chbRepeatWarn->setChecked(true);
        echoes(15, false);
        m->Engine->tmRepeatFailTimer();
        m->Engine->tmRepeatFailTimer();
        QCOMPARE(f->sound.played.size(), 3);
        // A recovery leaves the window and the timer alone.
        echoes(71, true);
        QVERIFY(frmWarn->isVisible());
        QVERIFY(m->Engine->tmRepeatFail->Enabled());
        QTest::mouseClick(frmWarn->btnOK, Qt::LeftButton);
        QVERIFY(!m->Engine->tmRepeatFail->Enabled());
        QVERIFY(frmWarn->isHidden());
    }

    void repeatTimerReallyTicks() {
        LogForm->chbRepeatWarn->setChecked(true);
        LogForm->seRepeatInterval->setValue(1);
        echoes(15, false);
        QTRY_VERIFY_WITH_TIMEOUT(f->sound.played.size() >= 2, 3000);
    }

    void warningWindowIsOnTopWithoutCloseButtonAndKeepsItsPlace() {
        QVERIFY(frmWarn->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(frmWarn->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(frmWarn->windowTitle(), QStringLiteral("Linkvigil Warning"));
        frmWarn->ShowWarning(QStringLiteral("x"));
        const QPoint centre = frmWarn->frameGeometry().center();
        QVERIFY((centre - QGuiApplication::primaryScreen()->availableGeometry().center()).manhattanLength() < 8);
        frmWarn->move(10, 20);
        frmWarn->btnOKClick();
        frmWarn->ShowWarning(QStringLiteral("x"));
        QCOMPARE(frmWarn->pos(), QPoint(10, 20));
        // Escape does not dismiss it.
        QTest::keyClick(frmWarn, Qt::Key_Escape);
        QVERIFY(frmWarn->isVisible());
    }

    void longMessageWrapsInItsBox() {
        QVERIFY(frmWarn->lbMessage->wordWrap());
        QCOMPARE(frmWarn->lbMessage->geometry(), QRect(72, 40, 241, 49));
    }

    void laterFallingAlertShowsTheWindowAgain() {
        LogForm->chbRepeatWarn->setChecked(true);
        echoes(15, false);
        frmWarn->btnOKClick();
        echoes(71, true);
        f->clock.advanceSeconds(120);
        echoes(15, false);
        QVERIFY(frmWarn->isVisible());
        QCOMPARE(frmWarn->lbMessage->text(), QStringLiteral("07/12/2026 12:02: Connection 192.0.2.1 falls below 30%"));
        QVERIFY(m->Engine->tmRepeatFail->Enabled());
    }

    void chartFollowsTheReplies() {
        echo(true, 500); // timeout 1000: h = 48
        QCOMPARE(m->Engine->ChartColumn, 1);
        QCOMPARE(m->Chart.image().pixel(0, 96), ChartCanvas::Teal);
        QCOMPARE(m->Chart.image().pixel(0, 49), ChartCanvas::Navy);
        QCOMPARE(m->Chart.image().pixel(0, 50), ChartCanvas::Teal);
        QCOMPARE(m->Chart.image().pixel(1, 50), ChartCanvas::Red);
        echo(false);
        QCOMPARE(m->Chart.image().pixel(1, 1), ChartCanvas::Teal);
    }

    // The program's own event loop ends when the main window closes, even
    // with the warning window up and its sound repeating; nothing plays on.
    void closingTheMainWindowEndsTheProgramDuringAWarning() {
        LogForm->chbRepeatWarn->setChecked(true);
        LogForm->seRepeatInterval->setValue(1);
        m->show();
        echoes(15, false);
        QVERIFY(frmWarn->isVisible());
        QVERIFY(m->Engine->tmRepeatFail->Running());

        QTimer::singleShot(0, m, [this] { m->close(); });
        QTimer hang; // a program that goes on fails here
        hang.setSingleShot(true);
        connect(&hang, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        hang.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        hang.stop();
        QVERIFY(frmWarn->isHidden());
        QVERIFY(!m->Engine->tmRepeatFail->Running());
        QVERIFY(!m->Engine->Timer->Running());
        const auto played = f->sound.played.size();
        QTest::qWait(1500);
        QCOMPARE(f->sound.played.size(), played);
    }
};

LINKVIGIL_TEST_MAIN(TestAlerts)
#include "TestAlerts.moc"
