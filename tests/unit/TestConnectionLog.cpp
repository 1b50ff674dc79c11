#include "MonitorFixture.h"
#include "TestMain.h"
#include "clock/DateTime.h"
#include "engine/TTimer.h"
#include "icmp/AddressText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

#include <sys/stat.h>

// The connection log as the main window writes it: line formats, the
// averaging windows on the day grid, the logging switch and the size limit.
class TestConnectionLog : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    static TDateTime at(int h, int n, int s) { return datetime::encode(2026, 7, 12, h, n, s); }

    // A program started at the given moment, with these lines in its settings.
    void startProgram(TDateTime now, const QByteArray& logging = "UseLogging=1\r\nPeriod=0.00694444444444444\r\n",
                      RegionalSettings regional = {}) {
        f = std::make_unique<MonitorFixture>();
        f->clock.now = now;
        QFile ini(f->folder.filePath(QStringLiteral("Linkvigil.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Addresses]\r\nCount=1\r\nAddress01=192.0.2.1\r\n[Logging]\r\n" + logging);
        ini.close();
        f->create(regional);
        m = f->main.get();
    }

    QStringList logLines() const {
        QFile log(m->Engine->LogFilePath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        const QByteArray text = log.readAll();
        if (!text.isEmpty() && !text.endsWith("\r\n"))
            return {QStringLiteral("<line without CR LF>")};
        QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

    void echo(bool answered) {
        if (answered)
            f->echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), 10, 56));
        m->Engine->TimerTimer();
    }

private slots:
    void cleanup() { f.reset(); }

    void windowLaidOnTheGridAtStartUp() {
        startProgram(at(14, 3, 12));
        QCOMPARE(m->Engine->PeriodEnd, datetime::encode(2026, 7, 12, 14, 10, 0));
        QVERIFY(qAbs(m->Engine->PeriodStart - at(14, 0, 0)) < 1e-9);
        QVERIFY(logLines().isEmpty()); // logging read as on writes no line
        QVERIFY(!QFile::exists(m->Engine->LogFileName));
    }

    void resolveWritesTheStartLineAndAlignsTheWindow() {
        startProgram(at(14, 3, 12));
        m->cbConnectToExit();
        QCOMPARE(logLines(), QStringList{"07/12/2026 14:03: Start monitor for IP-Address \"192.0.2.1\""});
        QCOMPARE(m->Engine->PeriodStart, at(14, 3, 12));
        QVERIFY(qAbs(m->Engine->PeriodEnd - at(14, 10, 0)) < 1e-9);
    }

    void startLaysItsOwnWindow() {
        startProgram(at(14, 3, 12));
        m->StartButtonClick();
        QCOMPARE(m->Engine->PeriodStart, at(14, 3, 12));
        QVERIFY(qAbs(m->Engine->PeriodEnd - at(14, 13, 12)) < 1e-9);
    }

    void averagesOnTheGridAndTheClosingReplyCountsForTheNext() {
        startProgram(at(14, 3, 12));
        m->cbConnectToExit();
        m->StartButtonClick(); // 14:03:12 - 14:13:12
        m->cbConnectToExit();  // laid on the grid again: 14:03:12 - 14:10:00
        echo(true);
        echo(false); // 950
        // Grid points are sums of window lengths: a moment later is surely past.
        f->clock.now = at(14, 10, 0) + 0.001 * OneSecond;
        echo(false); // closes the window with (1000 + 950) / 2, then counts 900
        f->clock.now = at(14, 20, 5);
        echo(true); // closes 14:10 - 14:20 with 900
        QCOMPARE(logLines().mid(2), QStringList({
                                        "07/12/2026 14:03:12-14:10:00: Reliability for \"192.0.2.1\" =  97.5 %",
                                        "07/12/2026 14:10:00-14:20:00: Reliability for \"192.0.2.1\" =  90.0 %",
                                    }));
        QVERIFY(qAbs(m->Engine->PeriodEnd - at(14, 30, 0)) < 1e-9);
    }

    void lateCloseSpansSeveralWindows() {
        startProgram(at(14, 3, 12));
        m->cbConnectToExit();
        m->StartButtonClick();
        m->cbConnectToExit();
        echo(true);
        f->clock.now = at(14, 47, 0);
        echo(true);
        QCOMPARE(logLines().last(),
                 QStringLiteral("07/12/2026 14:03:12-14:10:00: Reliability for \"192.0.2.1\" = 100.0 %"));
        QVERIFY(qAbs(m->Engine->PeriodStart - at(14, 10, 0)) < 1e-9);
        QVERIFY(qAbs(m->Engine->PeriodEnd - at(14, 50, 0)) < 1e-9);
        f->clock.now = at(14, 50, 0) + 0.001 * OneSecond;
        echo(true);
        QCOMPARE(logLines().last(),
                 QStringLiteral("07/12/2026 14:10:00-14:50:00: Reliability for \"192.0.2.1\" = 100.0 %"));
    }

    void windowWithoutRepliesUsesTheIndexWithoutQuotes() {
        startProgram(at(14, 3, 12));
        m->cbConnectToExit();
        m->StartButtonClick();
        m->Engine->PeriodEnd = at(14, 5, 0);
        f->clock.now = at(14, 6, 0);
        m->Engine->LogPeriodAverage();
        QCOMPARE(logLines().last(),
                 QStringLiteral("07/12/2026 14:03:12-14:05:00: Reliability for 192.0.2.1 = 100.0 %"));
    }

    void stopWritesTheUnfinishedWindow() {
        startProgram(at(14, 3, 12));
        m->cbConnectToExit();
        m->StartButtonClick();
        echo(true);
        f->clock.now = at(14, 4, 30);
        m->StopButtonClick();
        QCOMPARE(logLines().last(),
                 QStringLiteral("07/12/2026 14:03:12-14:04:30: Reliability for \"192.0.2.1\" = 100.0 %"));
    }

    void switchingOffWritesTheAverageFirstAndTheOffLineLast() {
        startProgram(at(14, 3, 12));
        f->clock.now = at(14, 5, 0);
        m->Engine->SetLogging(false);
        QCOMPARE(logLines(), QStringList({
                                 "07/12/2026 14:00:00-14:05:00: Reliability for  =   0.0 %",
                                 "07/12/2026 14:05: Logging switched off for IP \"\"",
                             }));
        QVERIFY(!m->Engine->LoggingEnabled);
        m->Engine->WriteLog(QStringLiteral("dropped"));
        QCOMPARE(logLines().size(), 2);
        m->Engine->SetLogging(false); // unchanged: nothing
        QCOMPARE(logLines().size(), 2);
    }

    void switchingOnWritesTheOnLineAndAligns() {
        startProgram(at(9, 59, 59), "UseLogging=0\r\nPeriod=0.0416666666666667\r\n");
        m->Engine->SetLogging(true);
        QCOMPARE(logLines(), QStringList{"07/12/2026 09:59: Logging switched on for IP \"\""});
        QVERIFY(qAbs(m->Engine->PeriodEnd - at(10, 0, 0)) < 1e-9);
        QVERIFY(qAbs(m->Engine->PeriodStart - at(9, 0, 0)) < 1e-9);
    }

    void loggingOffStillClosesWindows() {
        startProgram(at(14, 3, 12), "UseLogging=0\r\nPeriod=0.00694444444444444\r\n");
        m->cbConnectToExit();
        m->StartButtonClick();
        echo(true);
        f->clock.now = at(14, 14, 0);
        echo(true);
        QCOMPARE(m->Engine->ReliabilitySamples, 1); // reset at the close, then this reply
        QVERIFY(!QFile::exists(m->Engine->LogFileName));
    }

    void averagesOffNeverResetTheSums() {
        startProgram(at(14, 3, 12));
        LogForm->chLogAverages->setChecked(false);
        m->cbConnectToExit();
        m->StartButtonClick();
        echo(true);
        f->clock.now = at(14, 30, 0);
        echo(true);
        QCOMPARE(m->Engine->ReliabilitySamples, 2);
        QCOMPARE(logLines().size(), 1); // the start line only
    }

    void alertLinesFollowTheLogChangesBox() {
        startProgram(at(14, 3, 12));
        m->cbConnectToExit();
        m->StartButtonClick();
        for (int i = 0; i < 15; ++i)
            echo(false);
        QCOMPARE(logLines().last(),
                 QStringLiteral("07/12/2026 14:03:12: Reliability for \"192.0.2.1\" falls below 30%"));
        LogForm->chLogChanges->setChecked(false);
        for (int i = 0; i < 71; ++i)
            echo(true);
        QVERIFY(m->Engine->ConnectionUp);
        QVERIFY(!logLines().last().contains(QStringLiteral("rises")));
    }

    void regionalSeparators() {
        RegionalSettings regional;
        regional.dateSeparator = u'.';
        regional.timeSeparator = u'.';
        regional.decimalSeparator = u',';
        startProgram(at(14, 3, 12), "UseLogging=1\r\nPeriod=0,00694444444444444\r\n", regional);
        QVERIFY(qAbs(m->Engine->PeriodLength - 10.0 / 1440) < 1e-12);
        m->cbConnectToExit();
        m->StartButtonClick();
        echo(false);
        f->clock.now = at(14, 4, 0);
        m->StopButtonClick();
        QCOMPARE(logLines(), QStringList({
                                 "07.12.2026 14.03: Start monitor for IP-Address \"192.0.2.1\"",
                                 "07.12.2026 14.03.12-14.04.00: Reliability for \"192.0.2.1\" =  95,0 %",
                             }));
    }

    void separatorsAreReadAgainWhenTheLocaleChanges() {
        RegionalSettings dotted;
        dotted.dateSeparator = u'.';
        startProgram(at(14, 3, 12), "UseLogging=1\r\n", dotted);
        QCOMPARE(m->Engine->ShortStamp(at(14, 3, 12)), QStringLiteral("07.12.2026 14:03"));
        QEvent change(QEvent::LocaleChange);
        QCoreApplication::sendEvent(m, &change);
        const RegionalSettings system = RegionalSettings::fromLocale(QLocale::system());
        const QString expected = QStringLiteral("07") + system.dateSeparator + QStringLiteral("12") +
                                 system.dateSeparator + QStringLiteral("2026 14") + system.timeSeparator +
                                 QStringLiteral("03");
        QCOMPARE(m->Engine->ShortStamp(at(14, 3, 12)), expected);
    }

    void logIsKeptUnderItsLimit() {
        startProgram(at(14, 3, 12), "UseLogging=1\r\nLogfileLimitKb=1\r\n");
        QCOMPARE(m->Engine->LogLimitBytes, 1024);
        for (int i = 0; i < 40; ++i)
            m->Engine->WriteLog(QStringLiteral("line %1 ").arg(i, 3, 10, QLatin1Char('0')) + QString(38, u'x'));
        const QStringList lines = logLines();
        QVERIFY(QFile(m->Engine->LogFileName).size() <= 1024);
        QCOMPARE(lines.last().left(8), QStringLiteral("line 039"));
        // Without the limit box the log grows.
        LogForm->chLimitKb->setChecked(false);
        for (int i = 0; i < 40; ++i)
            m->Engine->WriteLog(QString(48, u'y'));
        QVERIFY(QFile(m->Engine->LogFileName).size() > 2000);
        QVERIFY(f->boxes.errors.isEmpty());
    }

    // 1024 bytes is at the limit and stays whole; one byte more is over it.
    void logAtExactlyItsLimitIsLeftAlone() {
        startProgram(at(14, 3, 12), "UseLogging=1\r\nLogfileLimitKb=1\r\n");
        for (int i = 0; i < 10; ++i)
            m->Engine->WriteLog(QString(18, QChar(u'0' + i))); // 10 lines of 20 bytes with CR LF
        m->Engine->WriteLog(QString(822, u'a'));
        QCOMPARE(QFile(m->Engine->LogFilePath()).size(), 1024);
        QCOMPARE(logLines().size(), 11);
        m->Engine->WriteLog(QString()); // 1026 bytes: whole lines go until at most 921.6 are left
        QCOMPARE(QFile(m->Engine->LogFilePath()).size(), 906);
        QCOMPARE(logLines().first(), QString(18, u'6'));
    }

    // A relative name lies in the program folder, wherever the program was
    // started from, and is kept as typed.
    void relativeLogNameIsInTheProgramFolder() {
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        startProgram(at(14, 3, 12), "UseLogging=1\r\nLogFile=logs/net.log\r\n");
        QVERIFY(QDir(f->folder.path()).mkdir(QStringLiteral("logs")));
        m->cbConnectToExit();
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(m->Engine->LogFileName, QStringLiteral("logs/net.log"));
        QVERIFY(QFile::exists(f->folder.filePath(QStringLiteral("logs/net.log"))));
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("logs/net.log"))));
        QTest::mouseClick(m->btnViewLog, Qt::LeftButton);
        QCOMPARE(f->shell.edited, QStringList{f->folder.filePath(QStringLiteral("logs/net.log"))});
    }

    // A log that cannot be written is reported once, with its cause, and
    // its return in the status line; the window never waits on a FIFO.
    void failingLogIsReportedOnce() {
        startProgram(at(14, 3, 12));
        const QString fifo = f->folder.filePath(QStringLiteral("fifo.log"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        m->Engine->LogFileName = fifo;
        for (int i = 0; i < 5; ++i)
            m->Engine->WriteLog(QStringLiteral("lost"));
        const QString message = "Cannot write the log file " + fifo + ": it is not a regular file";
        QTRY_COMPARE(f->boxes.errors, QStringList{message + '.'});
        QCOMPARE(m->StatusBar->currentMessage(), message);
        m->Engine->LogFileName = QStringLiteral("Connect.log");
        m->Engine->WriteLog(QStringLiteral("kept"));
        QCOMPARE(m->StatusBar->currentMessage(),
                 "The log file " + f->folder.filePath(QStringLiteral("Connect.log")) + " is written again");
        QCOMPARE(logLines(), QStringList{"kept"});
        QCOMPARE(f->boxes.errors.size(), 1);
    }

    void logInAMissingFolderIsLostQuietly() {
        startProgram(at(14, 3, 12));
        m->Engine->LogFileName = f->folder.filePath(QStringLiteral("gone/Connect.log"));
        m->cbConnectToExit();
        m->StartButtonClick();
        echo(true);
        QCOMPARE(int(m->Engine->MonitorState), int(Resolved));
        QVERIFY(f->boxes.errors.isEmpty());
    }
};

LINKVIGIL_TEST_MAIN(TestConnectionLog)
#include "TestConnectionLog.moc"
