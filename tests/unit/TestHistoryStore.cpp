#include "HistoryTestKit.h"

#include "history/HistoryFeed.h"
#include "history/HistoryFile.h"
#include "history/HistoryPruner.h"
#include "history/HistoryStore.h"
#include "history/HopSeries.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

using namespace historytest;

// The history on a real folder: minute summaries at the edges of minutes
// and days, pruning, the clocks changing, a reader beside the writer, two
// writers of one file, a full disk, a missing folder, files that are not a
// history and a FIFO in the file's place.
class TestHistoryStore : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path;
    Clock clock;
    QStringList said;

    std::unique_ptr<HistoryStore> store(HistoryOptions options = {}) {
        return std::make_unique<HistoryStore>(path, clock, options, [this](const QString& m) { said << m; });
    }
    static QDateTime utc(int day, int hour, int minute, int second = 0, int ms = 0) {
        return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second, ms), QTimeZone::utc());
    }
    static qint64 ms(const QDateTime& t) { return t.toMSecsSinceEpoch(); }

private slots:
    void init() {
        const QString folder = dir.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(folder));
        path = folder + QStringLiteral("/History.db");
        said.clear();
    }

    // Minutes and hours are UTC's; an echo at .999 of a minute's last
    // second is that minute's. The journal and the summaries it becomes
    // read the same.
    void minuteSummariesAtMinuteAndDayEdges() {
        clock.set(utc(8, 23, 58));
        auto s = store();
        const QString h = QStringLiteral("router.lan");
        s->add(answered(h, utc(8, 23, 58, 59, 999), 10'000));
        s->add(answered(h, utc(8, 23, 59, 0, 0), 20'000));
        s->add(timedOut(h, utc(8, 23, 59, 30)));
        s->add(answered(h, utc(8, 23, 59, 59, 999), 30'000));
        s->add(answered(h, utc(9, 0, 0, 0, 0), 40'000));
        EchoSample error = timedOut(h, utc(9, 0, 0, 0, 500));
        error.outcome = EchoSample::Outcome::Error;
        error.status = 11003;
        error.from = address("192.0.2.254");
        s->add(error);
        clock.set(utc(9, 0, 1));
        QVERIFY(s->sync());
        HistoryReader reader(path);
        const auto check = [&] {
            const QList<HistoryBucket> b = reader.buckets(h, ms(utc(8, 23, 58)), ms(utc(9, 0, 1)), 3);
            QCOMPARE(b.size(), 3);
            QCOMPARE(b[0].echoes, 1);
            QCOMPARE(b[1].echoes, 3);
            QCOMPARE(b[1].lost, 1);
            QCOMPARE(b[1].medianUs, 25'000);
            QCOMPARE(b[1].minUs, 20'000);
            QCOMPARE(b[1].maxUs, 30'000);
            QCOMPARE(b[2].echoes, 2);
            QCOMPARE(b[2].lost, 1);
            QCOMPARE(b[2].medianUs, 40'000);
            // A day of five-minute columns reads minutes; of hours, ten
            // minutes; of four hours, hours.
            for (const int columns : {288, 24, 6}) {
                const QList<HistoryBucket> day = reader.buckets(h, ms(utc(8, 0, 0)), ms(utc(9, 0, 0)), columns);
                QCOMPARE(day.last().echoes, 4);
                QCOMPARE(day.last().lost, 1);
                QCOMPARE(day.last().maxUs, 30'000);
                QVERIFY(qAbs(day.last().medianUs - 20'000) <= 1'500);
            }
        };
        check(); // from the journal
        clock.set(utc(9, 0, 6));
        QVERIFY(s->sync());
        auto db = openDb(path);
        QCOMPARE(count(*db, "SELECT count(*) FROM journal"), 0);
        QCOMPARE(count(*db, "SELECT count(*) FROM block"), 2);
        QCOMPARE(count(*db, "SELECT median_us FROM minute WHERE start_ms % 3600000 = 59 * 60000"), 25'000);
        QCOMPARE(count(*db, "SELECT echoes FROM hour WHERE start_ms % 86400000 = 0"), 2);
        QCOMPARE(count(*db, "SELECT echoes FROM hour WHERE start_ms % 86400000 <> 0"), 4);
        check(); // from the blocks and the summaries
        // An echo that comes after its slot was closed joins its block.
        s->add(timedOut(h, utc(8, 23, 59, 45)));
        QVERIFY(s->sync());
        QCOMPARE(count(*db, "SELECT count(*) FROM block"), 2);
        QCOMPARE(count(*db, "SELECT echoes FROM minute WHERE start_ms % 3600000 = 59 * 60000"), 4);
        QCOMPARE(count(*db, "SELECT lost FROM hour WHERE start_ms % 86400000 <> 0"), 2);
        QCOMPARE(reader.buckets(h, ms(utc(8, 23, 58)), ms(utc(9, 0, 1)), 3)[1].echoes, 4);
        QList<EchoSample> back;
        reader.forEachEcho(h, 0, ms(utc(10, 0, 0)), [&back](const EchoSample& e) { return back.append(e), true; });
        QCOMPARE(back.size(), 7);
        QCOMPARE(back.last().status, 11003u);
        QCOMPARE(back.last().outcome, EchoSample::Outcome::Error);
        QCOMPARE(back.last().from, address("192.0.2.254"));
        QCOMPARE(back[1].ttl, 57);
        QCOMPARE(back[1].from, back[1].address);
        QCOMPARE(back[2].ttl, -1);
        QCOMPARE(reader.hosts().size(), 1);
        QCOMPARE(reader.hosts()[0].firstMs, ms(utc(8, 23, 58, 59, 999)));
        QCOMPARE(reader.hosts()[0].lastMs, ms(utc(9, 0, 0, 0, 500)));
        QVERIFY(said.isEmpty());
    }

    // Echoes go after KeepDays, summaries after 400 days, a few hundred rows
    // a flush; the buckets of a span whose echoes are gone come from its minutes.
    void oldDataIsPrunedInSmallSteps() {
        HistoryOptions options;
        options.keepDays = 2;
        clock.set(utc(1, 0, 0));
        auto s = store(options);
        const QString h = QStringLiteral("old.example");
        // 300 slots of one echo a minute.
        for (int minute = 0; minute < 1500; ++minute)
            s->add(answered(h, utc(1, 0, 0).addSecs(60 * minute), 5'000 + minute));
        clock.set(utc(2, 1, 10));
        for (int i = 0; i < 12; ++i) // 32 slots a flush
            s->sync();
        auto db = openDb(path);
        QCOMPARE(count(*db, "SELECT count(*) FROM block"), 300);
        clock.set(utc(4, 1, 10));
        s->sync();
        QCOMPARE(count(*db, "SELECT count(*) FROM block"), 300 - HistoryPruner::RowsPerStep);
        s->sync();
        QCOMPARE(count(*db, "SELECT count(*) FROM block"), 0);
        QCOMPARE(count(*db, "SELECT count(*) FROM minute"), 1500);
        HistoryReader reader(path);
        QCOMPARE(echoesOf(reader, h), 0);
        const QList<HistoryBucket> b = reader.buckets(h, ms(utc(1, 0, 0)), ms(utc(1, 1, 0)), 60);
        QCOMPARE(b[7].echoes, 1);
        QCOMPARE(b[7].medianUs, 5'007);
        clock.set(utc(1, 0, 0).addDays(400).addSecs(3600 * 26));
        for (int i = 0; i < 12; ++i)
            s->sync();
        QCOMPARE(count(*db, "SELECT count(*) FROM minute"), 0);
        QCOMPARE(count(*db, "SELECT count(*) FROM ten_minutes"), 0);
        QCOMPARE(count(*db, "SELECT count(*) FROM hour"), 0);
        QVERIFY(reader.hosts().isEmpty());
        // Met again, the host is filed anew.
        s->add(answered(h, clock.now().wall, 9'000));
        QVERIFY(s->sync());
        QCOMPARE(echoesOf(reader, h), 1);
    }

    // A traced path's probes are kept hop by hop beside the host's echoes,
    // its route changes with them; both survive a failed commit. A file
    // written before route changes were kept gains their table when next
    // written and reads as having none meanwhile.
    void pathHopsAndRouteChanges() {
        clock.set(utc(8, 12, 0));
        auto s = store();
        const QString h = QStringLiteral("gw.example");
        s->add(answered(h, utc(8, 12, 0), 9'000));
        QVERIFY(s->sync());
        {
            auto db = openDb(path);
            QCOMPARE(db->exec("DROP TABLE route_change"), SQLITE_OK);
        }
        HistoryReader reader(path);
        QVERIFY(reader.routeChanges(h, 0, LLONG_MAX).isEmpty());
        s.reset(); // the next opening adds the table
        s = store();
        const IpAddress target = address("192.0.2.1");
        for (int round = 0; round < 4; ++round) {
            TraceProbe p;
            p.target = target;
            p.hop = 2;
            p.sentMs = ms(utc(8, 12, 1, round));
            p.outcome = round == 1 ? TraceProbe::Outcome::Lost : TraceProbe::Outcome::Hop;
            p.from = round == 1 ? IpAddress{} : address(round < 3 ? "10.81.2.2" : "10.81.9.2");
            p.roundTripMicros = round == 1 ? -1 : 2'000 + round;
            s->add(history::sampleOfHop(h, p));
        }
        s->addRouteChange(h, {2, address("10.81.2.2"), address("10.81.9.2"), ms(utc(8, 12, 1, 3))});
        QVERIFY(s->sync());
        const QString hop = history::hopSeries(h, 2);
        const QList<HistoryBucket> b = reader.buckets(hop, ms(utc(8, 12, 1)), ms(utc(8, 12, 2)), 1);
        QCOMPARE(b[0].echoes, 4);
        QCOMPARE(b[0].lost, 1);
        QCOMPARE(b[0].maxUs, 2'003);
        QList<IpAddress> from;
        reader.forEachEcho(hop, 0, LLONG_MAX / 2, [&](const EchoSample& e) { return from << e.from, true; });
        QCOMPARE(from.size(), 4);
        QCOMPARE(from[3], address("10.81.9.2"));
        QCOMPARE(echoesOf(reader, h), 1); // the host's own echoes stay apart
        const QList<RouteChange> changes = reader.routeChanges(h, 0, LLONG_MAX);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0].hop, 2);
        QCOMPARE(changes[0].before, address("10.81.2.2"));
        QCOMPARE(changes[0].after, address("10.81.9.2"));
        QCOMPARE(changes[0].atMs, ms(utc(8, 12, 1, 3)));
        QVERIFY(reader.routeChanges(QStringLiteral("other.example"), 0, LLONG_MAX).isEmpty());
    }

    // Times are kept in UTC with the offset the echo was sent by: across
    // the night the clocks go back, the repeated hour reads as it was.
    void daylightSavingChangeKeepsEachOffset() {
        const QTimeZone berlin("Europe/Berlin");
        QVERIFY(berlin.isValid());
        const QDateTime first = QDateTime(QDate(2026, 10, 25), QTime(0, 30), QTimeZone::utc());
        clock.set(first);
        auto s = store();
        const QString h = QStringLiteral("dst.example");
        for (int i = 0; i < 10; ++i) { // every 10 minutes, 00:30 to 02:00 UTC
            const QDateTime local = first.addSecs(600 * i).toTimeZone(berlin);
            s->add(answered(h, local.toOffsetFromUtc(local.offsetFromUtc()), 12'000));
        }
        clock.set(first.addSecs(3 * 3600));
        s->sync();
        s->sync();
        HistoryReader reader(path);
        QStringList shown;
        reader.forEachEcho(h, 0, LLONG_MAX / 2, [&shown](const EchoSample& e) {
            shown << e.sent.wall.toString(QStringLiteral("HH:mm")) + QString::number(e.sent.wall.offsetFromUtc());
            return true;
        });
        QCOMPARE(shown, (QStringList{"02:307200", "02:407200", "02:507200", "02:003600", "02:103600", "02:203600",
                                     "02:303600", "02:403600", "02:503600", "03:003600"}));
        // The buckets are UTC's: three of the ten in the first half hour.
        QCOMPARE(reader.buckets(h, ms(first), ms(first.addSecs(1800)), 1)[0].echoes, 3);
    }

    // Echoes sent in one millisecond, and after the wall clock was set
    // back, are each kept, journal and blocks alike.
    void sameMillisecondAndClockSetBack() {
        clock.set(utc(8, 10, 0));
        auto s = store();
        const QString h = QStringLiteral("steps.example");
        s->add(answered(h, utc(8, 10, 0, 5), 1'000));
        s->add(answered(h, utc(8, 10, 0, 5), 2'000));
        s->add(timedOut(h, utc(8, 10, 0, 5)));
        s->add(answered(h, utc(8, 9, 59, 0), 3'000)); // set back by a second
        const auto listed = [this, &h] {
            HistoryReader reader(path);
            QList<std::int64_t> rtts;
            reader.forEachEcho(h, 0, LLONG_MAX / 2, [&rtts](const EchoSample& e) {
                rtts << e.roundTripMicros;
                return true;
            });
            return rtts;
        };
        QVERIFY(s->sync());
        QCOMPARE(listed().size(), 4);
        clock.set(utc(8, 11, 0));
        s->close();
        QCOMPARE(listed().size(), 4);
    }

    // A reader on its own thread sees every committed echo once, never one
    // twice, while slots close and journal rows go under it.
    void readerBesideWriter() {
        clock.set(utc(8, 10, 0));
        auto s = store();
        const QDateTime t0 = clock.now().wall;
        std::atomic<bool> done{false};
        std::atomic<qint64> committed{0};
        std::atomic<int> errors{0};
        std::atomic<int> reads{0};
        std::thread reading([&] {
            HistoryReader reader(path);
            qint64 seen = 0;
            while (!done) {
                const qint64 atLeast = committed;
                const QList<HistoryBucket> b = reader.buckets(QStringLiteral("a"), ms(t0), ms(t0) + 86'400'000, 24);
                qint64 n = 0;
                for (const HistoryBucket& x : b)
                    n += x.echoes;
                const qint64 listed = echoesOf(reader, QStringLiteral("a"));
                if (n < atLeast || n < seen || listed < n)
                    ++errors;
                seen = n;
                ++reads;
            }
        });
        qint64 added = 0;
        for (int second = 0; second < 2400 || reads < 20; ++second) {
            for (const char* host : {"a", "b", "c"})
                s->add(answered(QString::fromLatin1(host), clock.now().wall, 8'000 + second % 100)), ++added;
            clock.pass(1000);
            QVERIFY(s->sync());
            committed = s->committed() / 3;
        }
        done = true;
        reading.join();
        QCOMPARE(errors.load(), 0);
        HistoryReader reader(path);
        QCOMPARE(echoesOf(reader, QStringLiteral("a")) * 3, added);
    }

    // The window and a watcher may write one file: each its own blocks,
    // the summaries over both.
    void twoWritersOfOneFile() {
        clock.set(utc(8, 10, 0));
        auto one = store();
        auto two = store();
        for (int i = 0; i < 900; ++i) {
            one->add(answered(QStringLiteral("shared"), clock.now().wall, 10'000));
            two->add(answered(QStringLiteral("shared"), clock.now().wall.addMSecs(500), 30'000));
            two->add(timedOut(QStringLiteral("own"), clock.now().wall));
            clock.pass(1000);
            QVERIFY(one->sync());
            QVERIFY(two->sync());
        }
        HistoryReader reader(path);
        const auto check = [&] {
            const QList<HistoryBucket> b =
                reader.buckets(QStringLiteral("shared"), ms(utc(8, 10, 0)), ms(utc(8, 10, 15)), 3);
            QCOMPARE(b[0].echoes, 600);
            QCOMPARE(b[0].minUs, 10'000);
            QCOMPARE(b[0].maxUs, 30'000);
            QVERIFY(qAbs(b[0].p25Us - 10'000) < 1'000 && qAbs(b[0].p75Us - 30'000) < 2'000);
            QCOMPARE(b[2].echoes, 600);
            QCOMPARE(echoesOf(reader, QStringLiteral("shared")), 1800);
            QCOMPARE(echoesOf(reader, QStringLiteral("own")), 900);
        };
        check();
        one->close();
        two->close();
        check();
        auto db = openDb(path);
        QCOMPARE(count(*db, "SELECT count(*) FROM journal"), 0);
        QCOMPARE(count(*db, "SELECT count(*) FROM writer"), 0);
        QCOMPARE(count(*db, "SELECT sum(echoes) FROM minute"), 2700);
        QCOMPARE(reader.hosts().size(), 2);
        QVERIFY(said.isEmpty());
    }

    // A full disk is said once; echoes beyond the buffer are dropped and
    // counted; when there is room again the store writes again by itself.
    void fullDiskIsSaidOnceAndPasses() {
        // Without root it is skipped, and said to be; CI runs as root and must run it.
        const bool mustRun = qgetenv("CI") == "true";
        if (geteuid() != 0) {
            QVERIFY2(!mustRun, "mounting a small tmpfs needs root, and CI runs the tests as root");
            QSKIP("SKIPPED: mounting a small tmpfs needs root (run the tests as root)");
        }
        const QString mountPoint = QFileInfo(path).path();
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=400k") != 0) {
            QVERIFY2(!mustRun, "no tmpfs can be mounted here");
            QSKIP("SKIPPED: no tmpfs can be mounted here");
        }
        struct Unmount {
            QByteArray at;
            ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
        } unmount{QFile::encodeName(mountPoint)};
        const QString filler = mountPoint + QStringLiteral("/filler");
        {
            QFile f(filler);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(300 * 1024, 'x'));
        }
        HistoryOptions options;
        options.maxPendingEchoes = 2000;
        clock.set(utc(8, 10, 0));
        auto s = store(options);
        int second = 0;
        const auto run = [&](int seconds) {
            for (int end = second + seconds; second < end; ++second) {
                for (int host = 0; host < 10; ++host)
                    s->add(answered(QStringLiteral("h%1").arg(host), clock.now().wall, 10'000 + second));
                clock.pass(1000);
                s->sync();
            }
        };
        for (int tries = 0; said.isEmpty() && tries < 20; ++tries)
            run(60);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QStringLiteral("full")), qPrintable(said[0]));
        run(600);
        QCOMPARE(said.size(), 1);
        QVERIFY(s->dropped() > 0);
        QCOMPARE(s->pending(), options.maxPendingEchoes);
        QVERIFY(QFile::remove(filler));
        run(2);
        QCOMPARE(said.size(), 2);
        QVERIFY2(said[1].contains(QStringLiteral("%1 echoes").arg(s->dropped())), qPrintable(said[1]));
        QVERIFY(s->pending() < 100);
        const qint64 committed = s->committed();
        s.reset();
        QCOMPARE(integrity(path), QStringLiteral("ok"));
        HistoryReader reader(path);
        qint64 kept = 0;
        for (int host = 0; host < 10; ++host)
            kept += echoesOf(reader, QStringLiteral("h%1").arg(host));
        QVERIFY2(kept >= committed, qPrintable(QStringLiteral("%1 < %2").arg(kept).arg(committed)));
    }

    // A folder that is not there yet: said once, written once it is.
    void missingFolderIsWaitedFor() {
        path = QFileInfo(path).path() + QStringLiteral("/later/History.db");
        auto s = store();
        for (int i = 0; i < 5; ++i) {
            s->add(answered(QStringLiteral("h"), clock.now().wall, 1'000));
            clock.pass(1000);
            QVERIFY(!s->sync());
        }
        QCOMPARE(said.size(), 1);
        QVERIFY(said[0].contains(QStringLiteral("is missing")));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(s->sync());
        QCOMPARE(said.size(), 2);
        HistoryReader reader(path);
        QCOMPARE(echoesOf(reader, QStringLiteral("h")), 5);
    }

    // What is no history of ours is moved aside, named by the local time,
    // and a new one started: said once each.
    void foreignFilesAreMovedAside() {
        const auto aside = [this] {
            return QDir(QFileInfo(path).path())
                .entryList({QStringLiteral("History.db.broken-*")}, QDir::Files, QDir::Name);
        };
        const auto write = [this](const QByteArray& bytes, qint64 at = 0) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(at);
            f.write(bytes);
        };
        const auto makeDb = [this](const char* sql) {
            auto db = openDb(path);
            QCOMPARE(db->exec(sql), SQLITE_OK);
        };
        QCOMPARE(HistoryFile::pathForLog(QStringLiteral("/var/log/lv/Connect.log")),
                 QStringLiteral("/var/log/lv/History.db"));
        clock.set(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9), QTimeZone(3600)));
        struct Case {
            std::function<void()> make;
            const char* why;
        };
        const QList<Case> cases{
            {[&] { write("Not a database at all, just notes.\n"); }, "is not an SQLite database"},
            {[&] { makeDb("CREATE TABLE notes(text)"); }, "belongs to another program"},
            {[&] { makeDb("PRAGMA application_id = 1280723027; PRAGMA user_version = 7;"); }, "another version"},
            {[&] {
                 store()->add(answered(QStringLiteral("h"), clock.now().wall, 1'000));
                 write(QByteArray(4096 * 3, '\x5a'), 4096);
             },
             "is damaged"},
        };
        for (int i = 0; i < cases.size(); ++i) {
            cases[i].make();
            said.clear();
            const QByteArray before = [&] {
                QFile f(path);
                return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            }();
            auto s = store();
            QVERIFY(s->sync());
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].contains(QString::fromLatin1(cases[i].why)), qPrintable(said[0]));
            const QString name = i == 0 ? QStringLiteral("History.db.broken-20261208-140509")
                                        : QStringLiteral("History.db.broken-20261208-140509-%1").arg(i + 1);
            QCOMPARE(aside().size(), i + 1);
            QVERIFY2(aside().contains(name), qPrintable(aside().join(u' ')));
            QFile moved(QFileInfo(path).path() + u'/' + name);
            QVERIFY(moved.open(QIODevice::ReadOnly));
            QCOMPARE(moved.readAll(), before);
            s->add(answered(QStringLiteral("h"), clock.now().wall, 1'000));
            QVERIFY(s->sync());
            s.reset();
            QCOMPARE(said.size(), 1);
            QCOMPARE(integrity(path), QStringLiteral("ok"));
            QVERIFY(QFile::remove(path));
        }
    }

    // A FIFO in the file's place is never opened: no writer or reader
    // waits on it.
    void fifoIsRefused() {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        auto s = store();
        s->add(answered(QStringLiteral("h"), clock.now().wall, 1'000));
        QVERIFY(!s->sync());
        QVERIFY(!s->sync());
        QCOMPARE(said.size(), 1);
        QVERIFY(said[0].contains(QStringLiteral("not a regular file")));
        HistoryReader reader(path);
        QVERIFY(reader.hosts().isEmpty());
        QCOMPARE(reader.buckets(QStringLiteral("h"), 0, 1000, 2).size(), 2);
        QVERIFY(QFile::remove(path));
        QVERIFY(s->sync());
        QCOMPARE(echoesOf(reader, QStringLiteral("h")), 1);
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "TestHistoryStore.moc"
