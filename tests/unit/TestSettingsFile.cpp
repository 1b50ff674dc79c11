#include "Exception.h"
#include "MonitorFixture.h"
#include "TestMain.h"
#include "engine/TTimer.h"
#include "logform/TFileNameEdit.h"
#include "logform/TSpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <sys/stat.h>

// The settings file "Linkvigil.ini": what start-up reads from it into the
// main window and the settings dialog, and what a save writes.
class TestSettingsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    QString iniPath() const { return f->folder.path() + "/Linkvigil.ini"; }
    void writeIni(const QByteArray& bytes) {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray iniBytes() const { return readFile(iniPath()); }
    void start(RegionalSettings regional = {}) {
        f->create(regional);
        m = f->main.get();
    }
    void startWith(const QByteArray& ini, RegionalSettings regional = {}) {
        writeIni(ini);
        start(regional);
    }
    // Closes the windows and starts again on the same program folder.
    void restart() {
        f->warn.reset();
        f->logForm.reset();
        f->main.reset();
        frmWarn = nullptr;
        LogForm = nullptr;
        MainForm = nullptr;
        start();
    }
    QStringList addresses() const {
        QStringList items;
        for (int i = 0; i < m->cbConnectTo->count(); ++i)
            items << m->cbConnectTo->itemText(i);
        return items;
    }
    static bool near(double a, double b) { return std::abs(a - b) < 1e-12; }

    // The bytes of a save made right after a start without a settings file.
    QByteArray defaultFile() const {
        return QStringLiteral("[Addresses]\r\n"
                              "Count=1\r\n"
                              "Address01=www.kernel.org\r\n"
                              "\r\n"
                              "[Ping]\r\n"
                              "Interval=1000\r\n"
                              "Timeout=1000\r\n"
                              "PreferIPv6=0\r\n"
                              "\r\n"
                              "[Logging]\r\n"
                              "UseLogging=0\r\n"
                              "LogFile=Connect.log\r\n"
                              "Period=0.000694444444444444\r\n"
                              "LogChanges=1\r\n"
                              "LogAverages=1\r\n"
                              "PeriodAmount=10\r\n"
                              "PeriodType=0\r\n"
                              "LimitLogfile=1\r\n"
                              "LogfileLimitKb=30\r\n"
                              "\r\n"
                              "[WarningSound]\r\n"
                              "SoundFail=1\r\n"
                              "FailFile=Carbrake.wav\r\n"
                              "RepeatWarn=0\r\n"
                              "RepeatInterval=10\r\n"
                              "SoundBack=1\r\n"
                              "BackFile=Chimes.wav\r\n"
                              "\r\n"
                              "[Desktop]\r\n"
                              "MinimiseToTray=0\r\n"
                              "Notifications=1\r\n")
            .toUtf8();
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        QVERIFY(f->folder.isValid());
    }
    void cleanup() {
        f.reset();
        m = nullptr;
    }

    // ---- Start-up ----

    void noFileGivesTheDefaults() {
        start();
        QCOMPARE(addresses(), QStringList{"www.kernel.org"});
        QCOMPARE(m->cbConnectTo->currentText(), QStringLiteral("www.kernel.org"));
        QCOMPARE(m->Engine->Timer->Interval(), 1000);
        QCOMPARE(m->edInterval->text(), QStringLiteral("1000"));
        QCOMPARE(m->Engine->Ping->Timeout(), 1000);
        QCOMPARE(m->edTimeout->text(), QStringLiteral("1000"));
        QVERIFY(!m->Engine->LoggingEnabled);
        QCOMPARE(m->Engine->LogFileName, f->folder.path() + "/Connect.log");
        QVERIFY(near(m->Engine->PeriodLength, 1.0 / 1440));
        QCOMPARE(m->Engine->LogLimitBytes, 30720);

        TLogForm* d = f->logForm.get();
        QVERIFY(d->chSoundFail->isChecked());
        QCOMPARE(d->edSoundFail->text(), QStringLiteral("Carbrake.wav"));
        QVERIFY(!d->edSoundFail->isHidden());
        QVERIFY(d->chSoundBack->isChecked());
        QCOMPARE(d->edSoundBack->text(), QStringLiteral("Chimes.wav"));
        QVERIFY(!d->chbRepeatWarn->isChecked());
        QCOMPARE(d->seRepeatInterval->value(), 10);
        QVERIFY(d->chLogChanges->isChecked());
        QVERIFY(d->chLogAverages->isChecked());
        QCOMPARE(d->edPeriod->text(), QStringLiteral("10"));
        QCOMPARE(d->cbPeriod->currentIndex(), 0);
        QCOMPARE(d->cbPeriod->currentText(), QStringLiteral("Seconds"));
        QVERIFY(d->chLimitKb->isChecked());
        QCOMPARE(d->edLimitKb->text(), QStringLiteral("30"));
        QCOMPARE(d->edLogFile->text(), m->Engine->LogFileName);
        QVERIFY(d->gbDetails->isHidden());
        QVERIFY(f->boxes.errors.isEmpty());
    }

    void addressCount_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none") << QByteArray("[Addresses]\r\nCount=0\r\nAddress01=192.0.2.1\r\n") << QStringList();
        QTest::newRow("missing keys take the default host")
            << QByteArray("[Addresses]\r\nCount=3\r\nAddress01=192.0.2.9\r\n")
            << QStringList{"192.0.2.9", "www.kernel.org", "www.kernel.org"};
        QTest::newRow("count without addresses")
            << QByteArray("[Addresses]\r\nCount=2\r\n") << QStringList{"www.kernel.org", "www.kernel.org"};
        QTest::newRow("bad count reads one")
            << QByteArray("[Addresses]\r\nCount=two\r\nAddress01=192.0.2.3\r\n") << QStringList{"192.0.2.3"};
    }
    void addressCount() {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, expected);
        startWith(ini);
        QCOMPARE(addresses(), expected);
        QCOMPARE(m->cbConnectTo->currentIndex(), expected.isEmpty() ? -1 : 0);
        QCOMPARE(m->cbConnectTo->currentText(), expected.value(0));
    }

    void atMostAHundredAddressesAreRead() {
        QByteArray ini = "[Addresses]\r\nCount=1000\r\n";
        for (int i = 1; i <= 101; ++i)
            ini += QString::asprintf("Address%.2d=h%d.example\r\n", i, i).toUtf8();
        startWith(ini);
        QCOMPARE(m->cbConnectTo->count(), 100);
        QCOMPARE(m->cbConnectTo->itemText(0), QStringLiteral("h1.example"));
        QCOMPARE(m->cbConnectTo->itemText(9), QStringLiteral("h10.example"));
        QCOMPARE(m->cbConnectTo->itemText(99), QStringLiteral("h100.example"));
    }

    void interval_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("2500") << 2500;
        QTest::newRow("hex 0x") << QByteArray("0x3E8") << 1000;
        QTest::newRow("hex $") << QByteArray("$7D0") << 2000;
        QTest::newRow("unit suffix") << QByteArray("500ms") << 1000;
        QTest::newRow("empty") << QByteArray("") << 1000;
        QTest::newRow("below the field's limit") << QByteArray("50") << 50;
        QTest::newRow("above the field's limit") << QByteArray("90000") << 90000;
    }
    void interval() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        startWith("[Ping]\r\nInterval=" + value + "\r\n");
        QCOMPARE(m->Engine->Timer->Interval(), expected);
        QCOMPARE(m->edInterval->text(), QString::number(expected));
    }

    void zeroIntervalNeverTicks() {
        startWith("[Ping]\r\nInterval=0\r\n");
        m->StartButtonClick();
        QVERIFY(m->Engine->Timer->Enabled());
        QVERIFY(!m->Engine->Timer->Running());
    }

    void timeout_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("raised to the field's minimum") << QByteArray("100") << 500;
        QTest::newRow("cut to the field's maximum") << QByteArray("20000") << 10000;
        QTest::newRow("in range") << QByteArray("2000") << 2000;
        QTest::newRow("not a number") << QByteArray("fast") << 1000;
    }
    void timeout() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        startWith("[Ping]\r\nTimeout=" + value + "\r\n");
        QCOMPARE(m->Engine->Ping->Timeout(), expected);
        QCOMPARE(m->edTimeout->text(), QString::number(expected));
        QCOMPARE(m->lbLegendTop->text(), QStringLiteral("%1 ms").arg(expected));
        QCOMPARE(m->lbLegendMid->text(), QStringLiteral("%1 ms").arg(expected / 2));
    }

    void loggingFromTheFileWritesNoLine_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("any non-zero number") << QByteArray("-3") << true;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("true is no number") << QByteArray("true") << false;
    }
    void loggingFromTheFileWritesNoLine() {
        QFETCH(QByteArray, value);
        QFETCH(bool, expected);
        startWith("[Logging]\r\nUseLogging=" + value + "\r\n");
        QCOMPARE(m->Engine->LoggingEnabled, expected);
        QVERIFY(!QFile::exists(m->Engine->LogFileName));
    }

    void soundSwitch_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("checked");
        QTest::newRow("2") << QByteArray("2") << true;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("yes is no number") << QByteArray("yes") << true;
    }
    void soundSwitch() {
        QFETCH(QByteArray, value);
        QFETCH(bool, checked);
        startWith("[WarningSound]\r\nSoundFail=" + value + "\r\nSoundBack=" + value + "\r\n");
        TLogForm* d = f->logForm.get();
        QCOMPARE(d->chSoundFail->isChecked(), checked);
        QCOMPARE(d->edSoundFail->isHidden(), !checked);
        QCOMPARE(d->chSoundBack->isChecked(), checked);
        QCOMPARE(d->edSoundBack->isHidden(), !checked);
    }

    void outOfRangeDialogValuesSaveAsShown() {
        startWith("[Logging]\r\nPeriodType=7\r\n[WarningSound]\r\nRepeatInterval=5000\r\n");
        QCOMPARE(f->logForm->seRepeatInterval->value(), 1000);
        QCOMPARE(f->logForm->cbPeriod->currentIndex(), -1);
        m->SaveButtonClick(nullptr);
        const QByteArray saved = iniBytes();
        QVERIFY2(saved.contains("\r\nRepeatInterval=1000\r\n"), saved.constData());
        QVERIFY2(saved.contains("\r\nPeriodType=-1\r\n"), saved.constData());
    }

    void period_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QChar>("decimalSeparator");
        QTest::addColumn<double>("expected");
        const double minute = 1.0 / 1440;
        QTest::newRow("ten minutes") << QByteArray("0.00694444444444444") << QChar('.') << 10 * minute;
        QTest::newRow("comma under a point") << QByteArray("0,00694444444444444") << QChar('.') << minute;
        QTest::newRow("comma under a comma") << QByteArray("0,00694444444444444") << QChar(',') << 10 * minute;
        QTest::newRow("point under a comma") << QByteArray("0.00694444444444444") << QChar(',') << minute;
        QTest::newRow("one second as saved") << QByteArray("1.15740740740741E-5") << QChar('.') << 1.0 / 86400;
        QTest::newRow("one day") << QByteArray("1") << QChar('.') << 1.0;
        QTest::newRow("zero") << QByteArray("0") << QChar('.') << minute;
        QTest::newRow("negative") << QByteArray("-5") << QChar('.') << minute;
        QTest::newRow("below a second") << QByteArray("1e-9") << QChar('.') << minute;
        QTest::newRow("text") << QByteArray("abc") << QChar('.') << minute;
        QTest::newRow("empty") << QByteArray("") << QChar('.') << minute;
    }
    void period() {
        QFETCH(QByteArray, value);
        QFETCH(QChar, decimalSeparator);
        QFETCH(double, expected);
        RegionalSettings regional;
        regional.decimalSeparator = decimalSeparator;
        startWith("[Logging]\r\nPeriod=" + value + "\r\n", regional);
        QVERIFY2(std::abs(m->Engine->PeriodLength - expected) < 1e-12,
                 qPrintable(QString::number(m->Engine->PeriodLength, 'g', 17)));
        // The first averaging window is on the new period's grid.
        QVERIFY(std::abs(m->Engine->PeriodEnd - m->Engine->PeriodStart - m->Engine->PeriodLength) < 1e-9);
        QVERIFY(m->Engine->PeriodEnd >= f->clock.now);
    }

    void logLimit_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("bytes");
        QTest::newRow("decimal") << QByteArray("50") << 51200;
        QTest::newRow("negative") << QByteArray("-5") << 0;
        QTest::newRow("largest") << QByteArray("2097151") << 2097151 * 1024;
        QTest::newRow("too large") << QByteArray("3000000") << 2097151 * 1024;
        QTest::newRow("hex") << QByteArray("$10") << 16384;
    }
    void logLimit() {
        QFETCH(QByteArray, value);
        QFETCH(int, bytes);
        startWith("[Logging]\r\nLogfileLimitKb=" + value + "\r\n");
        QCOMPARE(m->Engine->LogLimitBytes, bytes);
        QVERIFY(f->boxes.errors.isEmpty());
    }

    // A FIFO in the settings file's place does not hold the window back.
    void settingsFileThatIsNoFileGivesDefaults() {
        QVERIFY(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600) == 0);
        start();
        QCOMPARE(f->boxes.errors, QStringList{iniPath() + " is not a regular file: the default settings are used."});
        QCOMPARE(m->edTimeout->text(), QStringLiteral("1000"));
        QCOMPARE(m->cbConnectTo->count(), 1);
    }

    void unreadableLogLimitIsShownAndStartUpGoesOn() {
        startWith("[Logging]\r\nLogfileLimitKb=abc\r\n[Ping]\r\nTimeout=2000\r\n");
        QCOMPARE(f->boxes.errors, QStringList{"'abc' is not a valid integer value."});
        QCOMPARE(m->Engine->LogLimitBytes, 30720);
        QCOMPARE(m->edTimeout->text(), QStringLiteral("2000"));
        QCOMPARE(m->lbLegendTop->text(), QStringLiteral("2000 ms"));
        QCOMPARE(m->lbLegendMid->text(), QStringLiteral("1000 ms"));
        QCOMPARE(m->Chart.image().pixel(0, 0), ChartCanvas::Black);
        QCOMPARE(m->Chart.image().pixel(100, 50), ChartCanvas::Navy);
        QVERIFY(m->Engine->PeriodEnd >= f->clock.now);
    }

    void quotedValueReadsWithoutQuotes() {
        startWith("[WarningSound]\r\nFailFile=\"/tmp/my alarm.wav\"\r\nBackFile='/tmp/my bell.wav'\r\n");
        QCOMPARE(f->logForm->edSoundFail->text(), QStringLiteral("/tmp/my alarm.wav"));
        QCOMPARE(f->logForm->edSoundBack->text(), QStringLiteral("/tmp/my bell.wav"));
    }

    void handWrittenFileReads() {
        const QString log = f->folder.path() + "/hand.log";
        startWith(QStringLiteral("; written by hand\r\n"
                                 "[addresses]\r\n"
                                 " count = 2 \r\n"
                                 "ADDRESS01 =  192.0.2.5\r\n"
                                 "address02\t=\thost.example\r\n"
                                 "\r\n"
                                 "[ PING ]\r\n"
                                 "interval = 750\r\n"
                                 "TimeOut=  2500  \r\n"
                                 "[logging]\r\n"
                                 "uselogging = 1\r\n"
                                 "LOGFILE = %1\r\n"
                                 "periodamount = 5\r\n"
                                 "periodtype = 2\r\n"
                                 "[warningSound]\r\n"
                                 "soundback = 0\r\n"
                                 "backfile = Bell.wav\r\n")
                      .arg(log)
                      .toUtf8());
        QCOMPARE(addresses(), (QStringList{"192.0.2.5", "host.example"}));
        QCOMPARE(m->Engine->Timer->Interval(), 750);
        QCOMPARE(m->edTimeout->text(), QStringLiteral("2500"));
        QVERIFY(m->Engine->LoggingEnabled);
        QCOMPARE(m->Engine->LogFileName, log);
        QCOMPARE(f->logForm->edLogFile->text(), log);
        QCOMPARE(f->logForm->edPeriod->text(), QStringLiteral("5"));
        QCOMPARE(f->logForm->cbPeriod->currentText(), QStringLiteral("Hours"));
        QVERIFY(!f->logForm->chSoundBack->isChecked());
        QCOMPARE(f->logForm->edSoundBack->text(), QStringLiteral("Bell.wav"));
    }

    // ---- Save ----

    void saveButtonAsksFirst() {
        start();
        f->boxes.setNextAnswer(IMessageBoxes::Cancel);
        m->SaveButtonClick(m->SaveButton);
        QCOMPARE(f->boxes.shown.size(), 1);
        QCOMPARE(int(f->boxes.shown[0].kind), int(IMessageBoxes::Kind::Information));
        QCOMPARE(f->boxes.shown[0].text,
                 QStringLiteral("This will save the application settings to an ini-file and will\r\nbe used again next "
                                "time you start this application."));
        QCOMPARE(f->boxes.shown[0].buttons, int(IMessageBoxes::OK | IMessageBoxes::Cancel));
        QVERIFY(!QFile::exists(iniPath()));

        f->boxes.setNextAnswer(IMessageBoxes::OK);
        m->SaveButtonClick(m->SaveButton);
        QCOMPARE(iniBytes(), defaultFile());
    }

    // Installed: the settings file in its own folder, the default log and
    // a relative log name in the data folder; nothing beside the program.
    void installedPlacesKeepNothingBesideTheProgram() {
        const QString config = f->folder.filePath("config/linkvigil/");
        const QString state = f->folder.filePath("state/linkvigil/");
        QVERIFY(QDir().mkpath(config) && QDir().mkpath(state));
        f->settingsDirectory = config;
        f->dataDirectory = state;
        QFile written(config + "Linkvigil.ini");
        QVERIFY(written.open(QIODevice::WriteOnly));
        written.write("[Logging]\r\nLogFile=net/Connect.log\r\n");
        written.close();
        start();
        QCOMPARE(m->Engine->LogFilePath(), state + "net/Connect.log");
        m->SaveButtonClick(nullptr);
        QVERIFY(QFile::exists(config + "Linkvigil.ini"));
        QVERIFY(!QFile::exists(f->folder.filePath("Linkvigil.ini")));
        QVERIFY(readFile(config + "Linkvigil.ini").contains("LogFile=net/Connect.log\r\n"));
    }

    void saveWithoutSenderDoesNotAsk() {
        start();
        m->SaveButtonClick(nullptr);
        QVERIFY(f->boxes.shown.isEmpty());
        QCOMPARE(iniBytes(), defaultFile());
    }

    void savedFileHasEveryKeyInOrder() {
        start();
        m->cbConnectTo->clear();
        m->cbConnectTo->addItems({"192.0.2.1", "host.example"});
        m->edInterval->setText("2500");
        m->edIntervalExit();
        f->logForm->chbRepeatWarn->setChecked(true);
        f->logForm->cbPeriod->setCurrentIndex(3);
        m->SaveButtonClick(nullptr);
        QByteArray expected = defaultFile();
        expected.replace("Count=1\r\nAddress01=www.kernel.org\r\n",
                         "Count=2\r\nAddress01=192.0.2.1\r\nAddress02=host.example\r\n");
        expected.replace("Interval=1000", "Interval=2500");
        expected.replace("RepeatWarn=0", "RepeatWarn=1");
        expected.replace("PeriodType=0", "PeriodType=3");
        QCOMPARE(iniBytes(), expected);
    }

    // The path's trace is set in the file; the dialog's changes and a save
    // keep it as it was set.
    void traceKeysSurviveTheDialogAndASave() {
        startWith("[Addresses]\r\nCount=1\r\nAddress01=192.0.2.1\r\n[Trace]\r\nEnabled=1\r\nInterval=5000\r\n");
        QVERIFY(m->Engine->Options().TraceEnabled);
        QCOMPARE(m->Engine->Options().TraceIntervalMs, 5000);
        f->logForm->chbRepeatWarn->setChecked(true);
        QVERIFY(m->Engine->Options().RepeatWarn);
        QVERIFY(m->Engine->Options().TraceEnabled);
        m->SaveButtonClick(nullptr);
        QVERIFY2(iniBytes().contains("[Trace]\r\nEnabled=1\r\nInterval=5000\r\n"), iniBytes().constData());
    }

    void saveChangesValuesInPlace() {
        // A hand-edited file with LF line ends, comments, an unknown key and
        // a section of its own.
        const QString log = f->folder.path() + "/Connect.log";
        const QString before = QStringLiteral("; my settings\n"
                                              "[Addresses]\n"
                                              "Count=1\n"
                                              "Address01=192.0.2.7\n"
                                              "\n"
                                              "[Notes]\n"
                                              "Owner=me\n"
                                              "; keep this\n"
                                              "\n"
                                              "[Ping]\n"
                                              "Interval=2000\n"
                                              "Colour=blue\n"
                                              "Timeout=1500\n"
                                              "[Logging]\n"
                                              "UseLogging=0\n"
                                              "LogFile=%1\n"
                                              "Period=0.000694444444444444\n"
                                              "LogChanges=1\n"
                                              "LogAverages=1\n"
                                              "PeriodAmount=10\n"
                                              "PeriodType=0\n"
                                              "LimitLogfile=1\n"
                                              "LogfileLimitKb=30\n"
                                              "[WarningSound]\n"
                                              "SoundFail=1\n"
                                              "FailFile=Carbrake.wav\n"
                                              "RepeatWarn=0\n"
                                              "RepeatInterval=10\n"
                                              "SoundBack=1\n"
                                              "BackFile=Chimes.wav\n"
                                              "; end\n")
                                   .arg(log);
        startWith(before.toUtf8());
        m->edTimeout->setText("3000");
        m->edTimeoutExit();
        f->logForm->edLimitKb->setText("64");
        f->logForm->chSoundBack->setChecked(false);
        m->SaveButtonClick(nullptr);

        QString expected = before;
        expected.replace("Timeout=1500", "Timeout=3000\nPreferIPv6=0");
        expected.replace("LogfileLimitKb=30", "LogfileLimitKb=64");
        expected.replace("SoundBack=1", "SoundBack=0");
        expected.replace("LogFile=" + log, "LogFile=Connect.log");
        QCOMPARE(QString::fromUtf8(iniBytes()).section("; end\n", 0, 0), expected.section("; end\n", 0, 0));
        // New sections go after everything the file had.
        QVERIFY(iniBytes().endsWith("; end\n\n[Desktop]\nMinimiseToTray=0\nNotifications=1\n"));
    }

    // A log in the program folder is saved by its name relative to it, so
    // that a copy of the folder writes its own log; any other by its path.
    void logFileIsSavedRelativeToTheProgramFolder_data() {
        // "@" stands for the program folder, "~" for another one.
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("readBack"); // where the next start finds it
        QTest::newRow("inside") << "@/net.log"
                                << "net.log"
                                << "@/net.log";
        QTest::newRow("sub-folder") << "@/sub/x.log"
                                    << "sub/x.log"
                                    << "@/sub/x.log";
        QTest::newRow("by a detour") << "@/sub/../x.log"
                                     << "x.log"
                                     << "@/x.log";
        QTest::newRow("outside") << "~/x.log"
                                 << "~/x.log"
                                 << "~/x.log";
        QTest::newRow("same prefix") << "@2/x.log"
                                     << "@2/x.log"
                                     << "@2/x.log";
        QTest::newRow("the folder above") << "@/../x.log"
                                          << "@/../x.log"
                                          << "@/../x.log";
        QTest::newRow("through a link") << "~/link/x.log"
                                        << "x.log"
                                        << "@/x.log";
        QTest::newRow("relative as typed") << "../x.log"
                                           << "../x.log"
                                           << "@/../x.log";
    }
    void logFileIsSavedRelativeToTheProgramFolder() {
        QFETCH(QString, log);
        QFETCH(QString, saved);
        QFETCH(QString, readBack);
        QTemporaryDir other;
        QVERIFY(QFile::link(f->folder.path(), other.filePath("link")));
        const auto expand = [&](QString name) {
            return name.replace(u'@', f->folder.path()).replace(u'~', other.path());
        };
        start();
        m->Engine->LogFileName = expand(log);
        m->SaveButtonClick(nullptr);
        // Nothing else in the file changes.
        QCOMPARE(iniBytes(), defaultFile().replace("LogFile=Connect.log", "LogFile=" + expand(saved).toUtf8()));
        restart();
        QCOMPARE(QDir::cleanPath(m->Engine->LogFilePath()), QDir::cleanPath(expand(readBack)));
    }

    void surplusAddressKeysStay() {
        start();
        m->cbConnectTo->clear();
        m->cbConnectTo->addItems({"192.0.2.1", "192.0.2.2", "192.0.2.3"});
        m->SaveButtonClick(nullptr);
        m->cbConnectTo->clear();
        m->cbConnectTo->addItems({"192.0.2.9"});
        m->SaveButtonClick(nullptr);
        QVERIFY(iniBytes().startsWith("[Addresses]\r\n"
                                      "Count=1\r\n"
                                      "Address01=192.0.2.9\r\n"
                                      "Address02=192.0.2.2\r\n"
                                      "Address03=192.0.2.3\r\n"
                                      "\r\n[Ping]\r\n"));
        restart();
        QCOMPARE(addresses(), QStringList{"192.0.2.9"});
    }

    void saveIntoAFolderThatCannotBeWritten() {
        start();
        const QString blocker = f->folder.path() + "/blocker";
        {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString target = blocker + "/Linkvigil.ini";
        m->SettingsFileName = target;
        try {
            m->SaveButtonClick(nullptr);
            QFAIL("the save did not fail");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), "Unable to write to " + target);
        }

        f->boxes.setNextAnswer(IMessageBoxes::OK);
        m->SaveButton->click();
        QTRY_COMPARE(f->boxes.errors, QStringList{"Unable to write to " + target + "."});
        QVERIFY(!QFile::exists(iniPath()));
    }

    void everySettingComesBack() {
        start();
        TLogForm* d = f->logForm.get();
        const QString log = f->folder.path() + "/my net.log";
        m->cbConnectTo->clear();
        m->cbConnectTo->addItems({"192.0.2.1", "host.example", "198.51.100.9"});
        m->edInterval->setText("2500");
        m->edIntervalExit();
        m->edTimeout->setText("3000");
        m->edTimeoutExit();

        f->fileDialogs.answers << "/tmp/my alarm.wav";
        d->edSoundFail->browse();
        QCOMPARE(d->edSoundFail->text(), QStringLiteral("\"/tmp/my alarm.wav\""));
        d->chSoundFail->setChecked(false);
        d->chbRepeatWarn->setChecked(true);
        d->seRepeatInterval->setValue(45);
        d->chSoundBack->setChecked(false);
        d->edSoundBack->setText("Bell.wav");
        d->chLogChanges->setChecked(false);
        d->chLogAverages->setChecked(false);
        d->chLimitKb->setChecked(false);

        d->chUseLogging->setChecked(true);
        d->edLogFile->setText('"' + log + '"');
        d->edPeriod->setText("3");
        d->cbPeriod->setCurrentIndex(2);
        d->edLimitKb->setText("75");
        f->boxes.setNextAnswer(IMessageBoxes::Yes);
        d->btOKClick();
        QVERIFY(f->boxes.errors.isEmpty());
        const QByteArray saved = iniBytes();

        restart();
        d = f->logForm.get();
        QCOMPARE(addresses(), (QStringList{"192.0.2.1", "host.example", "198.51.100.9"}));
        QCOMPARE(m->Engine->Timer->Interval(), 2500);
        QCOMPARE(m->edInterval->text(), QStringLiteral("2500"));
        QCOMPARE(m->Engine->Ping->Timeout(), 3000);
        QCOMPARE(m->edTimeout->text(), QStringLiteral("3000"));
        QVERIFY(m->Engine->LoggingEnabled);
        QCOMPARE(m->Engine->LogFileName, QStringLiteral("my net.log")); // kept relative to the program folder
        QCOMPARE(m->Engine->LogFilePath(), log);
        QCOMPARE(d->edLogFile->text(), QStringLiteral("my net.log"));
        QCOMPARE(m->Engine->PeriodLength, 3.0 / 24);
        QCOMPARE(m->Engine->LogLimitBytes, 75 * 1024);
        QCOMPARE(d->edPeriod->text(), QStringLiteral("3"));
        QCOMPARE(d->cbPeriod->currentText(), QStringLiteral("Hours"));
        QCOMPARE(d->edLimitKb->text(), QStringLiteral("75"));
        QVERIFY(!d->chLimitKb->isChecked());
        QVERIFY(!d->chLogChanges->isChecked());
        QVERIFY(!d->chLogAverages->isChecked());
        QVERIFY(!d->chSoundFail->isChecked());
        QVERIFY(d->edSoundFail->isHidden());
        QVERIFY(d->chbRepeatWarn->isChecked());
        QCOMPARE(d->seRepeatInterval->value(), 45);
        QVERIFY(!d->chSoundBack->isChecked());
        QCOMPARE(d->edSoundBack->text(), QStringLiteral("Bell.wav"));
        // The browsed name is stored with the quotes the field shows, and
        // reading takes them off again.
        QVERIFY2(saved.contains("\r\nFailFile=\"/tmp/my alarm.wav\"\r\n"), saved.constData());
        QCOMPARE(d->edSoundFail->text(), QStringLiteral("/tmp/my alarm.wav"));
    }
};

LINKVIGIL_TEST_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
