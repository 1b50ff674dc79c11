#include "SlowHistory.h"
#include "SyntheticHistory.h"
#include "history/BucketCache.h"
#include "history/HistoryFetcher.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Reading the history off the window's thread, and the cache of what was
// read.
class TestHistoryFetcher : public QObject {
    Q_OBJECT

    static constexpr qint64 kStart = 1'796'000'000'000; // 2026-11-29
    SyntheticHistory history{{SyntheticHistory::host(QStringLiteral("router.lan"), QStringLiteral("192.0.2.1"), kStart,
                                                     kStart + 3'600'000)}};

    static BucketRun run(qint64 width, qint64 from, int count, qint64 asOf, int echoes = 1) {
        BucketRun r{QStringLiteral("h"), width, from, asOf, {}};
        for (int i = 0; i < count; ++i) {
            HistoryBucket b;
            b.echoes = echoes;
            r.buckets.append(b);
        }
        return r;
    }

    static bool none(const BucketCache::Span& span) { return span.first >= span.second; }

private slots:
    void aSlowSourceNeverHoldsUpTheCaller() {
        SlowHistory slow(history, 300);
        HistoryFetcher fetcher(slow);
        QSignalSpy fetched(&fetcher, &HistoryFetcher::fetched);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QElapsedTimer asked;
        asked.start();
        fetcher.fetch({QStringLiteral("router.lan"), kStart, kStart + 60'000, 1000, kStart + 3'600'000});
        fetcher.fetchHosts();
        QVERIFY(asked.elapsed() < 50);
        QVERIFY(!fetcher.idle());
        QTRY_COMPARE_WITH_TIMEOUT(fetched.size(), 1, 5000);
        QVERIFY(ticks >= 10); // the caller's thread kept handling its events
        QVERIFY(slow.lastThread != QThread::currentThread());
        const auto columns = fetched[0][0].value<BucketRun>().buckets;
        QCOMPARE(columns.size(), 60);
        QCOMPARE(columns[0].echoes, 1);
        QTRY_VERIFY(fetcher.idle());
    }

    // A request that has not started by the time another comes is moot.
    void onlyTheNewestWaitingRequestIsRead() {
        SlowHistory slow(history, 150);
        HistoryFetcher fetcher(slow);
        QList<qint64> answered;
        connect(&fetcher, &HistoryFetcher::fetched, [&](const BucketRun& r) { answered.append(r.fromMs); });
        for (int i = 0; i < 4; ++i) {
            fetcher.fetch({QStringLiteral("router.lan"), kStart + i * 60'000, kStart + (i + 1) * 60'000, 1000, 0});
            QTest::qWait(20);
        }
        QTRY_VERIFY(fetcher.idle());
        QTest::qWait(20);
        QCOMPARE(answered, (QList<qint64>{kStart, kStart + 3 * 60'000}));
        QCOMPARE(slow.bucketCalls.load(), 2);
    }

    // Going away waits for the call under way and hands nothing on after.
    void goingAwayEndsTheJobsInTime() {
        SlowHistory slow(history, 200);
        bool done = false;
        int echoes = 0;
        {
            HistoryFetcher fetcher(slow);
            fetcher.run(
                [&](IHistorySource& source, const std::atomic<bool>& cancelled) {
                    source.forEachEcho(QStringLiteral("router.lan"), kStart, kStart + 3'600'000,
                                       [&](const EchoSample&) {
                                           ++echoes;
                                           return !cancelled;
                                       });
                },
                [&] { done = true; });
            QTest::qWait(50);
        }
        QCoreApplication::processEvents();
        QVERIFY(!done);
        QCOMPARE(echoes, 1);
    }

    void theCacheJoinsRunsOfOneGridAndKnowsWhatItLacks() {
        BucketCache cache;
        QCOMPARE(cache.missing(QStringLiteral("h"), 10, 95, 205, 1000), (BucketCache::Span{90, 210}));
        cache.merge(run(10, 100, 10, 1000), 100, 150);
        // Touching and overlapping runs join; the newer buckets win.
        cache.merge(run(10, 150, 10, 1000, 2), 100, 150);
        QCOMPARE(cache.run().fromMs, 100);
        QCOMPARE(cache.run().toMs(), 250);
        QCOMPARE(cache.run().buckets[4].echoes, 1);
        QCOMPARE(cache.run().buckets[5].echoes, 2);
        QVERIFY(none(cache.missing(QStringLiteral("h"), 10, 100, 250, 1000)));
        QCOMPARE(cache.missing(QStringLiteral("h"), 10, 60, 300, 1000), (BucketCache::Span{60, 300}));
        QCOMPARE(cache.missing(QStringLiteral("h"), 10, 200, 300, 1000), (BucketCache::Span{250, 300}));
        // Another zoom or another host lacks everything.
        QCOMPARE(cache.missing(QStringLiteral("h"), 20, 100, 200, 1000), (BucketCache::Span{100, 200}));
        QCOMPARE(cache.missing(QStringLiteral("g"), 10, 100, 200, 1000), (BucketCache::Span{100, 200}));
        // Far from the view, buckets go.
        cache.merge(run(10, 250, 10, 1000), 12, 300);
        QCOMPARE(cache.run().fromMs, 230); // as near as the run allows
        QCOMPARE(cache.run().buckets.size(), 12);
        // Negative times fall on the grid too.
        QCOMPARE(BucketCache::floorToGrid(-5, 10), -10);
        QCOMPARE(BucketCache::ceilToGrid(-5, 10), 0);
    }

    // Buckets fetched before the clock passed them may lack echoes: the
    // open end is asked for again as the clock moves on, and only that.
    void theOpenEndIsReadAgain() {
        BucketCache cache;
        cache.merge(run(10, 0, 20, 125), 100, 100); // fetched at 125: [120, 130) was open
        QCOMPARE(cache.freshUntilMs(), 125);
        QVERIFY(none(cache.missing(QStringLiteral("h"), 10, 0, 200, 125)));
        QCOMPARE(cache.missing(QStringLiteral("h"), 10, 0, 200, 143), (BucketCache::Span{120, 150}));
        cache.merge(run(10, 120, 3, 143), 100, 100);
        QCOMPARE(cache.freshUntilMs(), 143);
        QCOMPARE(cache.run().toMs(), 200);
        // Buckets beyond an older fetch stay stale.
        cache.merge(run(10, 60, 2, 500), 100, 100);
        QCOMPARE(cache.freshUntilMs(), 143);
    }
};

QTEST_GUILESS_MAIN(TestHistoryFetcher)
#include "TestHistoryFetcher.moc"
