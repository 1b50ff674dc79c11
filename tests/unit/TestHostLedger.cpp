#include "ledger/HostLedger.h"
#include "ledger/HostState.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerQuery.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using Watching = HostState::Watching;

// Hosts whose logs share a folder share its ledger, but each keeps its own
// outage in progress and watching stamp: kills, restarts, stops, switches,
// files of an earlier version, a full disk and FIFOs where files belong.
class TestHostLedger : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString folder;
    QString ledger;
    const QDateTime t0 = QDateTime(QDate(2026, 12, 9), QTime(8, 0), QTimeZone(3600));
    static constexpr HostLedger::Timing timing{1000, 1000};

    Moment at(qint64 seconds) const { return {seconds * 1000, seconds * 1000, t0.addSecs(seconds)}; }
    LedgerRow outage(const QString& host, qint64 second) const {
        LedgerRow r;
        r.start = t0.addSecs(second);
        r.host = host;
        r.address = QStringLiteral("192.0.2.9");
        r.echoesLost = 3;
        r.cause = cause::BeyondGateway;
        return r;
    }
    // The messages of the files that could not be written.
    struct Failures : HostLedger::Listener, QStringList {
        void onLedgerFileFailed(const QString& message) override { append(message); }
    };
    std::unique_ptr<HostLedger> host(const QString& name, Failures* failures = nullptr) const {
        auto h = std::make_unique<HostLedger>(ledger, name);
        h->out = failures;
        return h;
    }
    QList<LedgerRow> rowsOf(const QString& name) const {
        QList<LedgerRow> rows;
        for (const LedgerRow& r : LedgerFile::read(ledger))
            if (r.host == name)
                rows.append(r);
        return rows;
    }

private slots:
    void init() {
        folder = dir.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(folder));
        ledger = folder + QStringLiteral("/Outages.csv");
    }

    // kill -9 while several hosts of one folder are in an outage: each host's
    // outage is completed at the next start, once, under its own name.
    void everyOutageInProgressSurvivesAKill() {
        const QStringList names{QStringLiteral("a.test"), QStringLiteral("[FD77:0:0::2]"), QStringLiteral("../x y")};
        for (int round = 0; round < 3; ++round) {
            std::vector<std::unique_ptr<HostLedger>> hosts;
            for (const QString& name : names) {
                hosts.push_back(host(name));
                QVERIFY(hosts.back()->begin(at(round * 10), QString(), timing).size() == (round == 0 ? 0 : 1));
                const LedgerRow open = outage(name, round * 10 + 1);
                hosts.back()->keepOpen(&open);
            }
            // Killed: nothing more is written.
        }
        for (const QString& name : names) {
            host(name)->begin(at(31), QString(), timing);
            const QList<LedgerRow> rows = rowsOf(name);
            QCOMPARE(rows.size(), 3);
            for (const LedgerRow& r : rows)
                QVERIFY2(r.note.contains(QStringLiteral("end unknown")) && !r.end.isValid(), qPrintable(r.note));
            QVERIFY(!QFile::exists(HostState(ledger, name).openPath()));
        }
        QCOMPARE(LedgerFile::read(ledger).size(), 9);
    }

    // The time a host was not watched is its own gap, and says why.
    void everyHostGetsItsOwnGap() {
        auto stopped = host(QStringLiteral("stopped"));
        auto closed = host(QStringLiteral("closed"));
        auto killed = host(QStringLiteral("killed"));
        auto briefly = host(QStringLiteral("briefly"));
        for (auto* h : {stopped.get(), closed.get(), killed.get(), briefly.get()})
            QVERIFY(h->begin(at(0), QString(), timing).isEmpty());
        stopped->end(at(100), Watching::Stopped);
        closed->end(at(100), Watching::Closed);
        killed->tick(at(100)); // its last stamp, a minute or more before the kill
        briefly->end(at(100), Watching::Switched);

        // Stopped and closed leave the exact moment: any longer absence is told.
        const QList<LedgerRow> s = host(QStringLiteral("stopped"))->begin(at(400), QString(), timing);
        QCOMPARE(s.size(), 1);
        QCOMPARE(s[0].kind, LedgerRow::Kind::Gap);
        QCOMPARE(s[0].start, t0.addSecs(100));
        QCOMPARE(s[0].durationMs, 300'000);
        QCOMPARE(s[0].note, QStringLiteral("Linkvigil was stopped"));
        QCOMPARE(host(QStringLiteral("closed"))->begin(at(400), QString(), timing).value(0).note,
                 QStringLiteral("Linkvigil was closed"));
        QCOMPARE(host(QStringLiteral("killed"))->begin(at(400), QString(), timing).value(0).note,
                 QStringLiteral("Linkvigil was not running"));
        // Back within three intervals and the time-out: no gap.
        QVERIFY(host(QStringLiteral("briefly"))->begin(at(104), QString(), timing).isEmpty());
        // A stamp up to a minute old is no absence yet.
        auto again = host(QStringLiteral("killed"));
        again->tick(at(400));
        QVERIFY(host(QStringLiteral("killed"))->begin(at(450), QString(), timing).isEmpty());
        QCOMPARE(LedgerFile::read(ledger).size(), 3);
    }

    // Until it is watched again, the time since it was stopped is not watched.
    void watchOfTellsTheTimeNotWatchedUpToNow() {
        auto a = host(QStringLiteral("a"));
        a->begin(at(0), QString(), timing);
        QVERIFY(!ledger::watchOf(ledger, QStringLiteral("a"), t0.addSecs(30)).notWatched);
        QCOMPARE(ledger::watchOf(ledger, QStringLiteral("a"), t0.addSecs(30)).since, t0);
        // A stamp gone stale: the program ended without a word.
        const auto stale = ledger::watchOf(ledger, QStringLiteral("a"), t0.addSecs(3600));
        QVERIFY(stale.notWatched);
        QCOMPARE(stale.notWatched->note, QStringLiteral("Linkvigil was not running"));
        a->end(at(60), Watching::Stopped);
        const auto stopped = ledger::watchOf(ledger, QStringLiteral("a"), t0.addSecs(600));
        QCOMPARE(stopped.notWatched->start, t0.addSecs(60));
        QCOMPARE(stopped.notWatched->end, t0.addSecs(600));
        QCOMPARE(stopped.notWatched->host, QStringLiteral("a"));
        QVERIFY(!ledger::watchOf(ledger, QStringLiteral("never"), t0).since.isValid());
    }

    void fileKeysAreSafeAndDistinct() {
        QCOMPARE(HostState::fileKey(QStringLiteral("gw.example")), QStringLiteral("gw.example"));
        QCOMPARE(HostState::fileKey(QStringLiteral("..")), QStringLiteral("%2E."));
        QCOMPARE(HostState::fileKey(QStringLiteral("a/b c")), QStringLiteral("a%2Fb%20c"));
        QCOMPARE(HostState::fileKey(QStringLiteral("[fd77::2]%eth0")), QStringLiteral("%5Bfd77%3A%3A2%5D%25eth0"));
        const QString longA = QString(300, u'a') + u'1';
        const QString longB = QString(300, u'a') + u'2';
        QVERIFY(HostState::fileKey(longA).size() <= 160);
        QVERIFY(HostState::fileKey(longA) != HostState::fileKey(longB));
        QVERIFY(!HostState::fileKey(QString()).isEmpty());
    }

    // FIFOs where the state's files belong are refused, never opened: nothing hangs.
    void fifosAreRefusedWithoutWaiting() {
        HostState state(ledger, QStringLiteral("h"));
        QVERIFY(QDir().mkpath(HostState::folder(ledger)));
        for (const QString& path : {state.stampPath(), state.openPath(), ledger + QStringLiteral(".watched"),
                                    ledger + QStringLiteral(".open")})
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        Failures failures;
        auto h = host(QStringLiteral("h"), &failures);
        QVERIFY(h->begin(at(0), QString(), timing).isEmpty());
        const LedgerRow open = outage(QStringLiteral("h"), 1);
        h->keepOpen(&open);
        h->tick(at(61));
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(failures.size(), 2); // the stamp and the outage in progress, once each
        QVERIFY(failures[0].contains(state.stampPath()) && failures[0].contains(QStringLiteral("not a regular")));
        QVERIFY(failures[1].contains(state.openPath()));
    }

    // The one-per-folder files of an earlier version are taken over.
    void earlierVersionsFilesAreTakenOver() {
        QFile open(ledger + QStringLiteral(".open"));
        QVERIFY(open.open(QIODevice::WriteOnly));
        open.write((LedgerFile::header() + QStringLiteral("\r\n") +
                    LedgerFile::formatLine(outage(QStringLiteral("b"), -600)) + QStringLiteral("\r\n"))
                       .toUtf8());
        open.close();
        QFile stamp(ledger + QStringLiteral(".watched"));
        QVERIFY(stamp.open(QIODevice::WriteOnly));
        stamp.write(t0.addSecs(-300).toString(Qt::ISODateWithMs).toUtf8() + "\r\n");
        stamp.close();

        // Each host without a stamp of its own gets the gap; only b its outage.
        QCOMPARE(host(QStringLiteral("a"))->begin(at(0), QString(), timing).size(), 1);
        QVERIFY(open.exists());
        const QList<LedgerRow> b = host(QStringLiteral("b"))->begin(at(10), QString(), timing);
        QCOMPARE(b.size(), 2);
        QVERIFY(b[0].note.contains(QStringLiteral("end unknown")));
        QCOMPARE(b[1].start, t0.addSecs(-300));
        QVERIFY(!open.exists());
        // Its time served, the old stamp goes.
        host(QStringLiteral("a"))->end(at(600), Watching::Stopped);
        QVERIFY(!stamp.exists());
    }

    // A full disk: the finished row waits, the outage stays on disk in the
    // meantime, and the message names the ledger.
    void fullDiskKeepsTheRowUntilItFits() {
        Failures failures;
        auto h = host(QStringLiteral("h"), &failures);
        h->begin(at(0), QString(), timing);
        LedgerRow done = outage(QStringLiteral("h"), 1);
        for (int i = 0; i < 3; ++i)
            QVERIFY(LedgerFile(ledger).append(done));
        const qint64 size = QFileInfo(ledger).size();
        h->keepOpen(&done);

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = static_cast<rlim_t>(size + 10);
        setrlimit(RLIMIT_FSIZE, &small);
        done.end = t0.addSecs(9);
        done.durationMs = 8000;
        h->keepOpen(nullptr);
        h->keep(done);
        h->tick(at(20));
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(h->waitingRows(), 1);
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].contains(ledger) && failures[0].contains(QStringLiteral("no space")),
                 qPrintable(failures[0]));
        QVERIFY(QFile::exists(HostState(ledger, QStringLiteral("h")).openPath()));

        h->tick(at(21));
        QCOMPARE(h->waitingRows(), 0);
        QCOMPARE(LedgerFile::read(ledger).count(done), 1);
        QVERIFY(!QFile::exists(HostState(ledger, QStringLiteral("h")).openPath()));
    }

    // One pass: every host named, only the asked host's rows of the span kept.
    void readHostKeepsOnlyWhatIsAsked() {
        LedgerFile file(ledger);
        for (int i = 0; i < 50; ++i) {
            LedgerRow r = outage(i % 2 ? QStringLiteral("odd") : QStringLiteral("even"), i * 60);
            r.end = r.start.addSecs(10);
            r.durationMs = 10'000;
            r.address = QStringLiteral("192.0.2.%1").arg(i);
            QVERIFY(file.append(r));
        }
        const ledger::HostRows odd =
            ledger::readHost(ledger, {QStringLiteral("odd"), t0.addSecs(600), t0.addSecs(1200)});
        QCOMPARE(odd.rows.size(), 5); // minutes 11, 13, 15, 17, 19
        QCOMPARE(odd.firstStart, t0.addSecs(60));
        QCOMPARE(odd.hosts, (QList<ledger::KnownHost>{{QStringLiteral("even"), QStringLiteral("192.0.2.48")},
                                                      {QStringLiteral("odd"), QStringLiteral("192.0.2.49")}}));
        const ledger::HostRows newest = ledger::readHost(ledger, {QString(), {}, {}, 4});
        QVERIFY(newest.cut);
        QCOMPARE(newest.rows.size(), 4);
        QCOMPARE(newest.rows.last().start, t0.addSecs(49 * 60));
    }
};

QTEST_GUILESS_MAIN(TestHostLedger)
#include "TestHostLedger.moc"
