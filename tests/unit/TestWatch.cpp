#include "HistoryTestKit.h"
#include "HostSettings.h"
#include "StopSignals.h"
#include "WatchArguments.h"
#include "WatchExport.h"
#include "clock/Clock.h"
#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pthread.h>

// The headless watcher's start-up: one file named through several paths, the
// averaging period it reads, and the stop signals it looks for meanwhile;
// --export's arguments and what it makes of a history written here.
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

    // --export with these arguments: its status and what it said.
    int exportWith(const QStringList& rest, QStringList* said) {
        QString error;
        const auto args = WatchArguments::parse(QStringList{"--export", ".."} + rest, &error);
        if (!args)
            return said->append(error), -1;
        return exportHistory(*args, QDateTime::currentDateTime(), [said](const QString& line) { said->append(line); });
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

    void exportArguments_data() {
        QTest::addColumn<QStringList>("args"); // @: a settings file, #: a folder
        QTest::addColumn<QString>("outcome");  // the error, or OUT and the format
        QTest::newRow("standard output") << QStringList{"--export", "..", "@"} << " csv";
        QTest::newRow("dash, --format") << QStringList{"--export", "..", "@", "-", "--format", "JSONL"} << "- jsonl";
        QTest::newRow(".json, options last") << QStringList{"@", "e.JSON", "--export", ".."} << "e.JSON jsonl";
        QTest::newRow("--format over the name")
            << QStringList{"--export", "..", "@", "e.jsonl", "--format", "csv"} << "e.jsonl csv";
        QTest::newRow("unknown --format") << QStringList{"--export", "..", "@", "--format", "xml"} << " none";
        QTest::newRow("with --report") << QStringList{"--export", "..", "--report", "..", "@", "o"}
                                       << "--report and --export exclude each other";
        QTest::newRow("with --metrics") << QStringList{"--metrics", "9464", "--export", "..", "@"}
                                        << "--export takes no --metrics";
        QTest::newRow("--format alone") << QStringList{"--format", "csv", "@"} << "--format goes with --export only";
        QTest::newRow("three paths") << QStringList{"--export", "..", "@", "a", "b"}
                                     << "--export takes one settings file and, if wanted, the file to write";
        QTest::newRow("folder") << QStringList{"--export", "..", "#"}
                                << "# is a folder: --export takes one settings file";
    }
    void exportArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, outcome);
        const QString file = write("export.ini", {});
        for (QString& arg : args)
            arg = arg == "@" ? file : arg == "#" ? dir.path() : arg;
        QString error;
        const auto parsed = WatchArguments::parse(args, &error);
        if (!parsed) {
            QCOMPARE(error, QString(outcome).replace('#', dir.path()));
            return;
        }
        QCOMPARE(parsed->settingsFiles, QStringList{file});
        const auto format = parsed->exportFormat();
        QCOMPARE(parsed->exportFile + (!format                                       ? " none"
                                       : *format == history::ExportFormat::JsonLines ? " jsonl"
                                                                                     : " csv"),
                 outcome);
    }

    // A history made by the store the watcher records with, read back; each
    // refusal is one line and status 2. The period and the host the history
    // lacks are checked from the wire (history-export.sh).
    void exportFromHistory() {
        QVERIFY(QDir(dir.path()).mkpath("kept"));
        const QString kept = write("kept/watch.ini", "[Logging]\nUseLogging=1\nLogFile=watch.log\n");
        {
            historytest::Clock clock;
            clock.set(QDateTime::currentDateTime().addSecs(-600));
            HistoryStore store(dir.filePath("kept/History.db"), clock);
            for (int i = 0; i < 6; ++i)
                store.add(historytest::answered("192.0.2.1", clock.at.wall.addSecs(i), 1500));
            store.close();
        }
        QStringList said;
        const QString out = dir.filePath("out.json");
        QCOMPARE(exportWith({kept, out}, &said), 0);
        QCOMPARE(said, QStringList{"linkvigil-watch: 6 echo(es) of 192.0.2.1 written to " + out});
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll().count("{\"sent\":"), 6);

        const QString gone = dir.filePath("gone/out.csv");
        for (const auto& [rest, line] : std::initializer_list<std::pair<QStringList, QString>>{
                 {{kept, "--format", "xml"}, "unknown --format xml: csv or jsonl"},
                 {{write("none.ini", {})}, "no history of 192.0.2.1 in " + dir.filePath("History.db")},
                 {{kept, gone}, "cannot write " + gone},
                 {{kept, dir.filePath("kept/History.db-wal")}, "is one of the files of 192.0.2.1"},
                 {{kept, dir.path()}, "is a folder"},
             }) {
            said.clear();
            QCOMPARE(exportWith(rest, &said), 2);
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].startsWith("linkvigil-watch: ") && said[0].contains(line), qPrintable(said[0]));
        }
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
