#include "HostSettings.h"
#include "StopSignals.h"
#include "WatchArguments.h"
#include "clock/Clock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pthread.h>

// The headless watcher's start-up: one file named through several paths, the
// averaging period it reads, and the stop signals it looks for meanwhile.
// What a folder's unusable entries give is checked on the command line
// (watch-cli.sh).
class TestWatch : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QString& name, const QByteArray& lines) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write("[Addresses]\nCount=1\nAddress01=192.0.2.1\n" + lines);
        return file.fileName();
    }

private slots:
    void oneFileThroughSeveralPaths() {
        const QString file = write("same.ini", {});
        QVERIFY(QDir(dir.path()).mkpath("folder"));
        QVERIFY(QFile::link(file, dir.filePath("folder/link.ini")));
        QVERIFY(QFile::link(dir.path(), dir.filePath("alias")));
        QString error;
        const auto args = WatchArguments::parse(
            {file, dir.filePath("alias/same.ini"), dir.filePath("folder"), dir.path() + "/folder/../same.ini"}, &error);
        QVERIFY2(args, qPrintable(error));
        QCOMPARE(args->settingsFiles, QStringList{file});
    }

    void periodFromAmountAndUnit_data() {
        QTest::addColumn<QByteArray>("logging");
        QTest::addColumn<double>("period"); // 0: refused
        QTest::newRow("Period wins") << QByteArray("Period=0.5\nPeriodAmount=16\nPeriodType=1\n") << 0.5;
        QTest::newRow("minutes") << QByteArray("PeriodAmount=16\nPeriodType=1\n") << 16 / 1440.0;
        QTest::newRow("days") << QByteArray("PeriodAmount=2\nPeriodType=3\n") << 2.0;
        QTest::newRow("unit alone: 10 of it") << QByteArray("PeriodType=2\n") << 10 / 24.0;
        QTest::newRow("amount below 1") << QByteArray("PeriodAmount=-5\nPeriodType=0\n") << OneSecond;
        QTest::newRow("unknown unit: one hour") << QByteArray("PeriodAmount=16\nPeriodType=7\n") << 1 / 24.0;
        QTest::newRow("neither: one minute") << QByteArray("LogChanges=1\n") << OneMinute;
        QTest::newRow("amount no number") << QByteArray("PeriodAmount=abc\n") << 0.0;
    }
    void periodFromAmountAndUnit() {
        QFETCH(QByteArray, logging);
        QFETCH(double, period);
        const QString file = write(QTest::currentDataTag() + QString(".ini"), "[Logging]\n" + logging);
        QString error;
        const auto settings = HostSettings::load(file, {}, u'.', &error);
        if (period == 0) {
            QVERIFY(!settings);
            QCOMPARE(error, QString("[Logging] PeriodAmount=abc is no whole number"));
            return;
        }
        QVERIFY2(settings, qPrintable(error));
        QCOMPARE(settings->profile.Period, period);
    }

    void stopSignalWaiting() {
        QVERIFY(StopSignals::block());
        QCOMPARE(StopSignals::pending(), 0);
        std::raise(SIGINT);
        QCOMPARE(StopSignals::pending(), SIGINT);
        QCOMPARE(StopSignals::pending(), SIGINT); // looking does not take it
        std::raise(SIGTERM);
        QCOMPARE(StopSignals::pending(), SIGTERM);
        // Taken, as the event loop takes them.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        const timespec now{};
        while (sigtimedwait(&set, nullptr, &now) > 0) {
        }
        QCOMPARE(StopSignals::pending(), 0);
        StopSignals::unblock();
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "TestWatch.moc"
