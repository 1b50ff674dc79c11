#include "ledger/OutageTracker.h"

#include <QTest>

// The outage and gap rules on a clock the test moves: both clocks together
// (time passes, or the program is held up) or boot time alone (asleep).
class TestOutageTracker : public QObject, private OutageTracker::Listener {
    Q_OBJECT

    OutageTracker t;
    Moment now;
    QList<LedgerRow> rows;
    int openUpdates = 0;

    void onTrackedRow(const LedgerRow& row) override { rows << row; }
    void onTrackedOpen(const LedgerRow* open) override { openUpdates += open ? 1 : 0; }

    void pass(int ms) {
        now.monotonicMs += ms;
        now.boottimeMs += ms;
        now.wall = now.wall.addMSecs(ms);
    }
    void sleep(int ms) {
        now.boottimeMs += ms;
        now.wall = now.wall.addMSecs(ms);
    }
    // One probe: ticks every second; the echo is answered or lost after 0.5 s.
    bool echo(bool answered, const QString& status = QStringLiteral("Request timed out")) {
        t.tick(now);
        t.echoSent(now);
        pass(500);
        const bool counts = t.echoDone(answered, status, now);
        pass(500);
        return counts;
    }

private slots:
    void init() {
        t = OutageTracker();
        t.setSettings({2, 1000, 1000});
        t.setHost(QStringLiteral("host.test"), QStringLiteral("192.0.2.1"));
        now = {1'000'000, 2'000'000, QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::OffsetFromUTC, 3600)};
        rows.clear();
        openUpdates = 0;
        t.out = this;
    }

    // Where the trace saw the path end is kept in the outage while it lasts,
    // the latest place, and only there.
    void thePathsEndGoesIntoTheOutage() {
        t.pathEnds(QStringLiteral("10.81.1.2"), 1); // no outage: nothing kept
        echo(false);
        echo(false);
        QVERIFY(t.inOutage());
        const int updates = openUpdates;
        t.pathEnds(QStringLiteral("10.81.3.2"), 3);
        t.pathEnds(QStringLiteral("10.81.3.2"), 3); // unchanged: not written again
        t.pathEnds(QStringLiteral("10.81.2.2"), 2);
        QCOMPARE(openUpdates, updates + 2);
        echo(true);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].lastHop, QStringLiteral("10.81.2.2"));
        QCOMPARE(rows[0].lastHopNumber, 2);
    }

    void singleLossIsNoOutageARunIs() {
        echo(true);
        echo(true);
        echo(false);
        echo(true);
        QVERIFY(rows.isEmpty());
        QVERIFY(!t.inOutage());
        const QDateTime runStart = now.wall;
        echo(false);
        QVERIFY(!t.inOutage());
        echo(false);
        QVERIFY(t.inOutage());
        QCOMPARE(openUpdates, 1); // on disk from the start
        echo(false);
        t.tick(now);
        t.echoSent(now);
        pass(30);
        const QDateTime replied = now.wall;
        QVERIFY(t.echoDone(true, QString(), now));
        QCOMPARE(rows.size(), 1);
        const LedgerRow& r = rows[0];
        QCOMPARE(r.kind, LedgerRow::Kind::Outage);
        QCOMPARE(r.start, runStart); // when the first lost echo left
        QCOMPARE(r.end, replied);    // when the answer came
        QCOMPARE(r.durationMs, 3030);
        QCOMPARE(r.echoesLost, 3);
        QCOMPARE(r.firstStatus, QStringLiteral("Request timed out"));
    }

    void sleepIsAGapAndItsEchoCountsForNothing() {
        echo(true);
        t.tick(now);
        t.echoSent(now);
        sleep(8 * 3600 * 1000); // the laptop sleeps overnight mid-echo
        pass(500);
        QVERIFY(!t.echoDone(false, QStringLiteral("Request timed out"), now));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].kind, LedgerRow::Kind::Gap);
        QCOMPARE(rows[0].note, QStringLiteral("the system was asleep"));
        QVERIFY(rows[0].durationMs >= 8 * 3600 * 1000);
        // The network comes back slowly: that run is put down to the wake-up.
        echo(false);
        echo(false);
        echo(true);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].cause, QStringLiteral("after wake-up"));
        // Later outages have their own causes again.
        echo(false);
        echo(false);
        t.causeSeen(QStringLiteral("Local network"), QStringLiteral("198.51.100.254"), QStringLiteral("c0"));
        echo(true);
        QCOMPARE(rows[2].cause, QStringLiteral("Local network"));
    }

    void heldUpIsAGapNotAnOutage() {
        echo(true);
        t.tick(now);
        t.echoSent(now);
        pass(10'000); // SIGSTOP: both clocks run on, nothing happens
        QVERIFY(!t.echoDone(false, QStringLiteral("Request timed out"), now));
        echo(true);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].kind, LedgerRow::Kind::Gap);
        QCOMPARE(rows[0].note, QStringLiteral("Linkvigil was held up"));
        // Ticks within three intervals and the time-out are no gap.
        pass(3000);
        echo(true);
        QCOMPARE(rows.size(), 1);
    }

    void causeSeenMostOftenWinsAndStopEndsTheOutage() {
        echo(false);
        echo(false);
        t.causeSeen(QStringLiteral("Beyond the gateway"), QStringLiteral("198.51.100.254"), QStringLiteral("c0"));
        echo(false);
        t.causeSeen(QStringLiteral("This computer is offline"), QString(), QStringLiteral("c0"));
        echo(false);
        t.causeSeen(QStringLiteral("This computer is offline"), QString(), QStringLiteral("c0"));
        t.stop(now, QStringLiteral("ended by Stop"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].cause, QStringLiteral("This computer is offline"));
        QCOMPARE(rows[0].causesSeen,
                 QStringList({QStringLiteral("Beyond the gateway"), QStringLiteral("This computer is offline")}));
        QCOMPARE(rows[0].gateway, QStringLiteral("198.51.100.254"));
        QCOMPARE(rows[0].note, QStringLiteral("ended by Stop"));
        // A stop and a later start are no gap.
        pass(60'000);
        echo(true);
        QCOMPARE(rows.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestOutageTracker)
#include "TestOutageTracker.moc"
