#include "HistoryTestKit.h"

#include "history/HistoryStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace historytest;

namespace {

constexpr int kHosts = 20;
constexpr qint64 kDayMs = 86'400'000;

QString hostName(int i) {
    return QStringLiteral("host-%1.example").arg(i);
}

// The child: echoes of every host each (simulated) second, a flush after
// each, and after each flush the count committed so far on its own line.
int writeForever(const QString& path, qint64 startMs) {
    Clock clock;
    clock.set(QDateTime::fromMSecsSinceEpoch(startMs, QTimeZone(3600)));
    HistoryStore store(path, clock);
    for (qint64 second = 0;; ++second) {
        for (int i = 0; i < kHosts; ++i)
            store.add((second + i) % 17 ? answered(hostName(i), clock.now().wall, 9'000 + (second * 37 + i) % 5000)
                                        : timedOut(hostName(i), clock.now().wall));
        clock.pass(1000);
        store.sync();
        std::printf("%lld\n", static_cast<long long>(store.committed()));
        std::fflush(stdout);
    }
}

} // namespace

// kill -9 at random moments while a store writes: after each, the file is
// whole and holds at least every echo the store had said was committed; the
// journals the killed writers left are taken over by the next.
class TestHistoryKill : public QObject {
    Q_OBJECT

private slots:
    void killedWritersLoseNothingCommitted() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("History.db"));
        const qint64 start = QDateTime(QDate(2026, 12, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        qint64 committed = 0;
        for (int round = 0; round < 20; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--write"), path, QString::number(start + round * kDayMs)});
            QVERIFY(child.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(150, 700));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            const QByteArray out = child.readAllStandardOutput();
            const QList<QByteArray> lines = out.left(out.lastIndexOf('\n')).split('\n');
            committed += lines.last().toLongLong();

            QCOMPARE(integrity(path), QStringLiteral("ok"));
            HistoryReader reader(path);
            qint64 kept = 0;
            for (int i = 0; i < kHosts; ++i)
                kept += echoesOf(reader, hostName(i));
            QVERIFY2(kept >= committed,
                     qPrintable(QStringLiteral("round %1: %2 kept, %3 committed").arg(round).arg(kept).arg(committed)));
        }
        // A last writer takes over what the killed ones left and leaves nothing behind.
        Clock clock;
        clock.set(QDateTime::fromMSecsSinceEpoch(start + 21 * kDayMs, QTimeZone::utc()));
        qint64 kept = 0;
        {
            HistoryStore store(path, clock);
            for (int i = 0; i < 100; ++i) {
                clock.pass(1000);
                store.sync();
            }
        }
        HistoryReader reader(path);
        for (int i = 0; i < kHosts; ++i)
            kept += echoesOf(reader, hostName(i));
        QVERIFY(kept >= committed);
        auto db = openDb(path);
        QCOMPARE(count(*db, "SELECT count(*) FROM journal"), 0);
        QCOMPARE(count(*db, "SELECT count(*) FROM writer"), 0);
        QCOMPARE(count(*db, "SELECT sum(echoes) FROM block"), kept);
        QCOMPARE(count(*db, "SELECT sum(echoes) FROM minute"), kept);
    }
};

int main(int argc, char* argv[]) {
    if (argc == 4 && qstrcmp(argv[1], "--write") == 0)
        return writeForever(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong());
    QCoreApplication app(argc, argv);
    TestHistoryKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestHistoryKill.moc"
