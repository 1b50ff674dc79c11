#include "MonitorFixture.h"
#include "TestMain.h"
#include "logform/TFileNameEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

// The settings dialog's OK: log file, logging switch, averaging period and
// its window, size limit and the offer to save; and its activation.
class TestSettingsDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;
    TLogForm* d = nullptr;

    static constexpr TDateTime today = 46215; // 12 July 2026
    static constexpr int seconds = 0, minutes = 1, hours = 2, days = 3;

    QString iniPath() const { return f->folder.path() + "/Linkvigil.ini"; }
    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool asked(IMessageBoxes::Kind kind) const {
        for (const auto& box : f->boxes.shown)
            if (box.kind == kind)
                return true;
        return false;
    }
    static bool near(double a, double b, double tolerance = 1e-9) { return std::abs(a - b) < tolerance; }
    static TDateTime at(int hour, int minute, int second = 0) {
        return today + (hour * 3600 + minute * 60 + second) / 86400.0;
    }
    void setPeriod(const QString& amount, int unit) {
        d->edPeriod->setText(amount);
        d->cbPeriod->setCurrentIndex(unit);
    }
    // OK, declining the offer to save.
    void okWithoutSaving() {
        f->boxes.setNextAnswer(IMessageBoxes::No);
        d->btOKClick();
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        QVERIFY(f->folder.isValid());
        f->create();
        m = f->main.get();
        d = f->logForm.get();
    }
    void cleanup() {
        f.reset();
        m = nullptr;
        d = nullptr;
    }

    void chosenLogFileIsUsedWithoutQuotes() {
        const QString log = f->folder.path() + "/my net.log";
        d->edLogFile->setText('"' + log + '"');
        okWithoutSaving();
        QCOMPARE(m->Engine->LogFileName, log);
    }

    void switchingLoggingOnWritesItsLineToTheChosenFile() {
        const QString log = f->folder.path() + "/net.log";
        d->edLogFile->setText(log);
        d->chUseLogging->setChecked(true);
        okWithoutSaving();
        QVERIFY(m->Engine->LoggingEnabled);
        QCOMPARE(bytesOf(log), QByteArray("07/12/2026 12:00: Logging switched on for IP \"\"\r\n"));
        QVERIFY(!QFile::exists(f->folder.path() + "/Connect.log"));

        // A second OK with the box still checked adds nothing.
        f->clock.advanceSeconds(60);
        okWithoutSaving();
        QCOMPARE(bytesOf(log), QByteArray("07/12/2026 12:00: Logging switched on for IP \"\"\r\n"));
    }

    void okWithLoggingLeftOffWritesNothing() {
        okWithoutSaving();
        QVERIFY(!m->Engine->LoggingEnabled);
        QVERIFY(!QFile::exists(m->Engine->LogFileName));
    }

    void period_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("length");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("complaint");
        QTest::newRow("seconds") << "10" << seconds << 10 / 86400.0 << "10" << false;
        QTest::newRow("hex minutes") << "$10" << minutes << 16 / 1440.0 << "16" << false;
        QTest::newRow("0x hours") << "0x3" << hours << 3 / 24.0 << "3" << false;
        QTest::newRow("leading blanks") << "  7" << minutes << 7 / 1440.0 << "7" << false;
        QTest::newRow("days") << "2" << days << 2.0 << "2" << false;
        QTest::newRow("zero seconds") << "0" << seconds << 1 / 86400.0 << "1" << true;
        QTest::newRow("negative minutes") << "-5" << minutes << 1 / 1440.0 << "1" << true;
        QTest::newRow("zero days") << "0" << days << 1.0 << "1" << true;
        QTest::newRow("no unit") << "5" << -1 << 1 / 24.0 << "5" << false;
        QTest::newRow("no unit, zero") << "0" << -1 << 1 / 24.0 << "1" << true;
    }
    void period() {
        QFETCH(QString, amount);
        QFETCH(int, unit);
        QFETCH(double, length);
        QFETCH(QString, shown);
        QFETCH(bool, complaint);
        setPeriod(amount, unit);
        if (complaint)
            f->boxes.setNextAnswer(IMessageBoxes::OK);
        okWithoutSaving();
        QVERIFY2(near(m->Engine->PeriodLength, length, 1e-15),
                 qPrintable(QString::number(m->Engine->PeriodLength, 'g', 17)));
        QCOMPARE(d->edPeriod->text(), shown);
        QCOMPARE(asked(IMessageBoxes::Kind::Plain), complaint);
        if (complaint) {
            QCOMPARE(f->boxes.shown[0].text, QStringLiteral("Timeperiod must at least 1 second!"));
            QCOMPARE(f->boxes.shown[0].buttons, int(IMessageBoxes::OK));
        }
        QVERIFY(f->boxes.errors.isEmpty());
        QVERIFY(!QFile::exists(iniPath()));
    }

    void windowOnTheDayGrid_data() {
        QTest::addColumn<TDateTime>("now");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("unit");
        QTest::addColumn<TDateTime>("end");
        QTest::newRow("10 minutes at 10:07") << at(10, 7) << "10" << minutes << at(10, 10);
        QTest::newRow("10 minutes at 10:07:30") << at(10, 7, 30) << "10" << minutes << at(10, 10);
        QTest::newRow("45 seconds at 00:00:01") << at(0, 0, 1) << "45" << seconds << at(0, 0, 45);
        QTest::newRow("2 days at noon") << at(12, 0) << "2" << days << today + 2;
        QTest::newRow("12 hours at noon is now") << at(12, 0) << "12" << hours << at(12, 0);
        QTest::newRow("1 day at midnight is now") << TDateTime(today) << "1" << days << TDateTime(today);
        QTest::newRow("7 minutes past midnight") << at(23, 59) << "7" << minutes << today + 1442 / 1440.0;
        QTest::newRow("no unit at 10:30:01") << at(10, 30, 1) << "1" << -1 << at(11, 0);
    }
    void windowOnTheDayGrid() {
        QFETCH(TDateTime, now);
        QFETCH(QString, amount);
        QFETCH(int, unit);
        QFETCH(TDateTime, end);
        f->clock.now = now;
        setPeriod(amount, unit);
        okWithoutSaving();
        QVERIFY2(near(m->Engine->PeriodEnd, end),
                 qPrintable(QString::number((m->Engine->PeriodEnd - end) * 86400, 'g', 6)));
        QVERIFY(near(m->Engine->PeriodStart, m->Engine->PeriodEnd - m->Engine->PeriodLength, 1e-12));
    }

    void badPeriodStopsBeforeTheLimit_data() {
        QTest::addColumn<QString>("amount");
        QTest::newRow("text") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("decimal") << "1.5";
        QTest::newRow("signed hex") << "-$10";
    }
    void badPeriodStopsBeforeTheLimit() {
        QFETCH(QString, amount);
        const QString log = f->folder.path() + "/other.log";
        d->edLogFile->setText(log);
        d->chUseLogging->setChecked(true);
        setPeriod(amount, minutes);
        d->edLimitKb->setText("50");
        d->btOKClick();
        QCOMPARE(f->boxes.errors, QStringList{"'" + amount + "' is not a valid integer value."});
        // The log file and the switch came first.
        QCOMPARE(m->Engine->LogFileName, log);
        QVERIFY(m->Engine->LoggingEnabled);
        QVERIFY(bytesOf(log).startsWith("07/12/2026 12:00: Logging switched on"));
        QCOMPARE(m->Engine->PeriodLength, 1.0 / 24);
        QCOMPARE(d->edPeriod->text(), amount);
        QCOMPARE(m->Engine->LogLimitBytes, 30720);
        QVERIFY(!asked(IMessageBoxes::Kind::Confirmation));
        QVERIFY(!QFile::exists(iniPath()));
    }

    void limit_data() {
        QTest::addColumn<QString>("kilobytes");
        QTest::addColumn<int>("bytes");
        QTest::newRow("50") << "50" << 51200;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("negative") << "-5" << 0;
        QTest::newRow("too large") << "3000000" << 2097151 * 1024;
        QTest::newRow("hex") << "$10" << 16384;
    }
    void limit() {
        QFETCH(QString, kilobytes);
        QFETCH(int, bytes);
        d->edLimitKb->setText(kilobytes);
        okWithoutSaving();
        QCOMPARE(m->Engine->LogLimitBytes, bytes);
        QVERIFY(f->boxes.errors.isEmpty());
    }

    void badLimitStopsAfterThePeriod() {
        f->clock.now = at(10, 7);
        setPeriod("10", minutes);
        d->edLimitKb->setText("x");
        d->btOKClick();
        QCOMPARE(f->boxes.errors, QStringList{"'x' is not a valid integer value."});
        QVERIFY(near(m->Engine->PeriodLength, 10 / 1440.0, 1e-15));
        QVERIFY(near(m->Engine->PeriodStart, at(10, 0)));
        QVERIFY(near(m->Engine->PeriodEnd, at(10, 10)));
        QCOMPARE(m->Engine->LogLimitBytes, 30720);
        QVERIFY(!asked(IMessageBoxes::Kind::Confirmation));
        QVERIFY(!QFile::exists(iniPath()));
    }

    void yesSavesTheSettings() {
        setPeriod("$10", minutes);
        d->edLimitKb->setText("50");
        f->boxes.setNextAnswer(IMessageBoxes::Yes);
        d->btOKClick();
        QCOMPARE(f->boxes.shown.size(), 1);
        QCOMPARE(int(f->boxes.shown[0].kind), int(IMessageBoxes::Kind::Confirmation));
        QCOMPARE(f->boxes.shown[0].text, QStringLiteral("Do you want to permanently save the changes?"));
        QCOMPARE(f->boxes.shown[0].buttons, int(IMessageBoxes::Yes | IMessageBoxes::No));
        const QByteArray saved = bytesOf(iniPath());
        for (const char* line : {"\r\nPeriod=0.0111111111111111\r\n", "\r\nPeriodAmount=16\r\n", "\r\nPeriodType=1\r\n",
                                 "\r\nLogfileLimitKb=50\r\n", "\r\nUseLogging=0\r\n"})
            QVERIFY2(saved.contains(line), line);
    }

    void noKeepsTheChangesUnsaved() {
        setPeriod("2", hours);
        d->edLimitKb->setText("50");
        okWithoutSaving();
        QCOMPARE(m->Engine->PeriodLength, 2 / 24.0);
        QCOMPARE(m->Engine->LogLimitBytes, 51200);
        QVERIFY(!QFile::exists(iniPath()));
    }

    void closingWithoutOKLeavesLoggingOff() {
        d->show();
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        d->chUseLogging->setChecked(true);
        QVERIFY(!d->gbDetails->isHidden());
        QVERIFY(d->close());

        d->show();
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        QVERIFY(!d->chUseLogging->isChecked());
        QVERIFY(d->gbDetails->isHidden());
        QVERIFY(!m->Engine->LoggingEnabled);
        QVERIFY(!QFile::exists(m->Engine->LogFileName));
    }

    void activationShowsLoggingThatIsOn() {
        m->Engine->SetLogging(true);
        d->show();
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        QVERIFY(d->chUseLogging->isChecked());
        QVERIFY(!d->gbDetails->isHidden());
    }

    // Leaving the dialog for another window and coming back keeps the click.
    void regainingTheFocusKeepsTheLoggingBox() {
        d->show();
        QVERIFY(QTest::qWaitForWindowActive(d));
        d->chUseLogging->setChecked(true);
        m->show();
        m->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m));
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        QVERIFY(d->chUseLogging->isChecked());
        QVERIFY(!d->gbDetails->isHidden());
        okWithoutSaving();
        QVERIFY(m->Engine->LoggingEnabled);
    }

    // Every message of the OK steps appears over the dialog, which closes
    // only when they are done, also after an error.
    void okMessagesAppearOverTheDialog_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("boxes");
        QTest::newRow("period 0 and the question") << "0" << 2;
        QTest::newRow("conversion error") << "abc" << 1;
    }
    void okMessagesAppearOverTheDialog() {
        QFETCH(QString, amount);
        QFETCH(int, boxes);
        d->show();
        QVERIFY(QTest::qWaitForWindowActive(d));
        QList<bool> dialogUp;
        f->boxes.whileShown = [&] { dialogUp << d->isVisible(); };
        setPeriod(amount, minutes);
        QTest::mouseClick(d->btOK, Qt::LeftButton);
        QCOMPARE(dialogUp, QList<bool>(boxes, true));
        QVERIFY(d->isHidden());
        f->boxes.whileShown = nullptr;
    }

    // "Switched off" and the last average go where "switched on" went; the
    // new name is used from then on.
    void switchingOffWritesToTheFileInForce() {
        const QString old = m->Engine->LogFilePath();
        m->Engine->SetLogging(true);
        const QString chosen = f->folder.path() + "/new.log";
        d->edLogFile->setText(chosen);
        d->chUseLogging->setChecked(false);
        okWithoutSaving();
        QCOMPARE(m->Engine->LogFileName, chosen);
        QVERIFY(!QFile::exists(chosen));
        const QByteArray lines = bytesOf(old);
        QVERIFY(lines.startsWith("07/12/2026 12:00: Logging switched on"));
        QVERIFY(lines.endsWith("Logging switched off for IP \"\"\r\n"));
    }

    // Only the log file's browse may name a file that does not exist yet.
    void logFileBrowseMayNameANewFile() {
        const QString chosen = f->folder.path() + "/not yet.log";
        f->fileDialogs.answers << chosen;
        d->edLogFile->browse();
        QCOMPARE(d->edLogFile->text(), '"' + chosen + '"');
        d->edSoundFail->browse();
        QCOMPARE(f->fileDialogs.calls.size(), 2);
        QVERIFY(f->fileDialogs.calls[0].newFileAllowed);
        QVERIFY(!f->fileDialogs.calls[1].newFileAllowed);
    }
};

LINKVIGIL_TEST_MAIN(TestSettingsDialog)
#include "TestSettingsDialog.moc"
