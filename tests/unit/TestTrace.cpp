#include "TraceProbes.h"
#include "trace/PathReading.h"
#include "trace/PathTrace.h"
#include "trace/PathWatch.h"

#include <QTest>
#include <QTimer>

#include <memory>
#include <set>

namespace {

using tracetest::address;
using tracetest::probe;

// A path of routers and the traced host at its end, answered from the
// event loop as the shared socket does: a probe whose hop limit runs out
// at a router is answered by that router, one that gets through by the
// host. `drop` says which probes (hop, count so far) go unanswered.
struct FakePath {
    std::vector<IpAddress> routers;
    IpAddress host = address("192.0.2.1");
    std::function<bool(int hop, int seen)> drop;
    std::map<int, int> probes; // per hop limit
    int inFlight = 0;

    class Channel : public IAsyncEcho {
    public:
        explicit Channel(FakePath& path) : m_path(path) {}
        ~Channel() override { cancel(); }
        void start(const EchoRequest& request, Done done) override {
            cancel();
            const int hop = request.ttl;
            const int seen = m_path.probes[hop]++;
            if (m_path.drop && m_path.drop(hop, seen))
                return; // never answered: the trace's next round ends it
            EchoResult result;
            const bool reached = hop > int(m_path.routers.size());
            result.from = reached ? m_path.host : m_path.routers[std::size_t(hop - 1)];
            result.replies = reached ? 1 : 0;
            result.status = reached ? 0 : 11013;
            result.roundTripNanos = 1'000'000LL * hop + 250'000;
            m_timer = std::make_unique<QTimer>();
            m_timer->setSingleShot(true);
            QObject::connect(m_timer.get(), &QTimer::timeout, [done, result] { done(result); });
            m_timer->start(0);
        }
        void cancel() override { m_timer.reset(); }

    private:
        FakePath& m_path;
        std::unique_ptr<QTimer> m_timer;
    };

    PathTrace::MakeChannel maker() {
        return [this] { return std::make_unique<Channel>(*this); };
    }
};

struct Recorder : PathTrace::Listener {
    int rounds = 0;
    std::vector<TraceProbe> probes;
    std::vector<std::pair<int, IpAddress>> changes;
    void onTraceProbe(const TraceProbe& probe) override { probes.push_back(probe); }
    void onTraceRound(int round) override { rounds = std::max(rounds, round); }
    void onRouteChange(int hop, const IpAddress&, const IpAddress& after, std::int64_t) override {
        changes.emplace_back(hop, after);
    }
};

// Hops with the given loss in per cent over 100 probes each.
std::vector<HopRecord> hopsWithLoss(std::initializer_list<int> percents) {
    std::vector<HopRecord> hops;
    int h = 0;
    for (int percent : percents) {
        ++h;
        HopRecord hop;
        const std::string from = "10.0.0." + std::to_string(h);
        for (int i = 0; i < 100; ++i)
            hop.take(probe(h, i < percent ? nullptr : from.c_str(), 1000));
        hops.push_back(hop);
    }
    return hops;
}

} // namespace

class TestTrace : public QObject {
    Q_OBJECT

    FakePath path;
    Recorder seen;

    void start(PathTrace& trace) {
        trace.out = &seen;
        PathTrace::Options options;
        options.intervalMs = 100;
        options.timeoutMs = 100;
        trace.start(path.host, options);
    }
    void runRounds(PathTrace& trace, int rounds) {
        start(trace);
        QTRY_VERIFY_WITH_TIMEOUT(seen.rounds >= rounds, 5000);
        trace.stop();
    }

private slots:
    void init() {
        path = FakePath();
        path.routers = {address("10.81.1.2"), address("10.81.2.2"), address("10.81.3.2")};
        seen = Recorder();
    }

    // Once the host has answered at hop 4, a round sends hops 1 to 4 only;
    // the first round's probes beyond it count for nothing.
    void roundsStopAtTheHost() {
        PathTrace trace(path.maker());
        runRounds(trace, 4);
        QCOMPARE(trace.destinationHop(), 4);
        QCOMPARE(trace.lastHop(), 4);
        for (int h = 1; h <= 4; ++h) {
            const HopRecord& hop = trace.hops()[std::size_t(h - 1)];
            QCOMPARE(hop.sent(), hop.answered());
            QVERIFY(hop.sent() >= 4);
            QCOMPARE(hop.responder(0).address, h < 4 ? path.routers[std::size_t(h - 1)] : path.host);
            QCOMPARE(hop.responder(0).bestMicros, 1000LL * h + 250);
            QCOMPARE(hop.responder(0).jitterMicros, 0.0);
        }
        for (const TraceProbe& p : seen.probes)
            QVERIFY(p.hop <= 4);
        // Beyond hop 4 only what the first round sent before the host's
        // answer came back.
        int beyond = 0;
        for (const auto& [hop, count] : path.probes)
            if (hop > 4)
                beyond += count;
        QVERIFY2(beyond <= 3, qPrintable(QString::number(beyond)));
        QVERIFY(seen.changes.empty());
    }

    // A router answers where the host did: the path grew, and the trace
    // looks further again.
    void aLongerPathIsFollowed() {
        PathTrace trace(path.maker());
        start(trace);
        QTRY_VERIFY_WITH_TIMEOUT(seen.rounds >= 2, 5000);
        QCOMPARE(trace.destinationHop(), 4);
        path.routers.push_back(address("10.81.4.2"));
        path.routers.push_back(address("10.81.5.2"));
        QTRY_COMPARE_WITH_TIMEOUT(trace.destinationHop(), 6, 5000);
        // Hop 4 was the host and is a router now: a route change there.
        QVERIFY(std::find(seen.changes.begin(), seen.changes.end(), std::make_pair(4, address("10.81.4.2"))) !=
                seen.changes.end());
    }

    // A probe never answered is lost when its hop's next probe goes out,
    // and counts for its hop alone.
    void unansweredProbesAreLossOfTheirHop() {
        path.drop = [](int hop, int count) { return hop == 2 && count % 2 == 1; };
        PathTrace trace(path.maker());
        runRounds(trace, 6);
        const HopRecord& two = trace.hops()[1];
        QVERIFY(two.sent() >= 5);
        QVERIFY(two.sent() - two.answered() >= 2);
        QCOMPARE(trace.hops()[0].loss(), 0.0);
        QCOMPARE(trace.hops()[2].loss(), 0.0);
        const PathReading reading = readPath(trace.hops(), trace.lastHop());
        QVERIFY(reading.limitsAnswers[1]);
        QCOMPARE(reading.lossStartHop, 0);
    }

    // The host silent behind hop 2: each round says the path ends there.
    void aRoundWithoutTheHostTellsWhereThePathEnds() {
        struct Ends : PathWatch::Listener {
            std::vector<std::pair<IpAddress, int>> ends;
            void onTraceProbe(const TraceProbe&) override {}
            void onPathEnds(const IpAddress& address, int number) override { ends.emplace_back(address, number); }
        } seenEnds;
        PathWatch watch(path.maker());
        watch.out = &seenEnds;
        PathTrace::Options options;
        options.intervalMs = 100;
        options.timeoutMs = 50;
        watch.follow(path.host, options);
        QTRY_VERIFY_WITH_TIMEOUT(watch.trace().destinationHop() == 4, 5000);
        QVERIFY(seenEnds.ends.empty());
        path.drop = [](int hop, int) { return hop > 2; };
        QTRY_VERIFY_WITH_TIMEOUT(seenEnds.ends.size() >= 2, 5000);
        QCOMPARE(seenEnds.ends.back(), std::make_pair(address("10.81.2.2"), 2));
        watch.follow(path.host, options); // the same host: the trace goes on
        QVERIFY(watch.trace().roundsDone() > 2);
    }

    // A listener that shows the path gets it after each round, as a value
    // of its own; a new responder at a hop is told as a route change.
    void aWatchedPathIsHandedOnEachRound() {
        struct Shows : PathWatch::Listener {
            std::vector<PathSnapshot> paths;
            std::vector<RouteChange> changes;
            void onTraceProbe(const TraceProbe& probe) override { QCOMPARE(probe.target, address("192.0.2.1")); }
            void onPathEnds(const IpAddress&, int) override {}
            void onRouteChange(const RouteChange& change) override { changes.push_back(change); }
            bool wantsPath() const override { return true; }
            void onPathRound(const PathSnapshot& path) override { paths.push_back(path); }
        } shows;
        PathWatch watch(path.maker(), [] { return std::int64_t{1'000'000}; });
        watch.out = &shows;
        PathTrace::Options options;
        options.intervalMs = 100;
        options.timeoutMs = 50;
        watch.follow(path.host, options);
        QTRY_VERIFY_WITH_TIMEOUT(shows.paths.size() >= 2 && shows.paths.back().destinationHop == 4, 5000);
        const PathSnapshot first = shows.paths.back();
        QCOMPARE(first.target, path.host);
        QCOMPARE(first.hops.size(), std::size_t(4));
        QCOMPARE(first.hops[1].responder(0).address, address("10.81.2.2"));
        QVERIFY(shows.changes.empty());
        path.routers[1] = address("10.81.9.2");
        QTRY_VERIFY_WITH_TIMEOUT(!shows.changes.empty(), 5000);
        QCOMPARE(shows.changes[0].hop, 2);
        QCOMPARE(shows.changes[0].before, address("10.81.2.2"));
        QCOMPARE(shows.changes[0].after, address("10.81.9.2"));
        QCOMPARE(shows.changes[0].atMs, std::int64_t{1'000'000});
        QTRY_VERIFY_WITH_TIMEOUT(shows.paths.back().hops[1].count() == 2, 5000);
        // The value handed on earlier is the earlier path.
        QCOMPARE(first.hops[1].count(), 1);
        watch.stop();
    }

    // Balancing between two addresses is no route change after both are
    // known; a fifth address makes room by dropping the longest silent.
    void respondersOfAHop() {
        HopRecord hop;
        QVERIFY(!hop.take(probe(1, "10.1.0.1", 1000, 1)));
        QVERIFY(hop.take(probe(1, "10.1.0.2", 3000, 2)));
        QVERIFY(!hop.take(probe(1, "10.1.0.1", 1000, 3)));
        QVERIFY(!hop.take(probe(1, "10.1.0.2", 3000, 4)));
        QCOMPARE(hop.count(), 2);
        QCOMPARE(hop.responder(0).jitterMicros, 0.0); // each alone is steady
        hop.take(probe(1, "10.1.0.3", 1000, 5));
        hop.take(probe(1, "10.1.0.4", 1000, 6));
        hop.take(probe(1, "10.1.0.5", 1000, 7));
        QCOMPARE(hop.count(), HopRecord::MaxResponders);
        std::set<std::string> kept;
        for (int i = 0; i < hop.count(); ++i)
            kept.insert(hop.responder(i).address.text());
        QCOMPARE(kept.count("10.1.0.1"), std::size_t(0)); // last seen at 3
        QCOMPARE(hop.sent(), std::uint64_t(7));
        hop.forgetSilent(6);
        QCOMPARE(hop.count(), 2);
    }

    void jitterFollowsTheChangeBetweenRoundTrips() {
        HopRecord hop;
        for (int i = 0; i < 200; ++i)
            hop.take(probe(1, "10.1.0.1", i % 2 ? 20'000 : 10'000));
        const auto& r = hop.responder(0);
        QVERIFY2(r.jitterMicros > 9'900 && r.jitterMicros <= 10'000, qPrintable(QString::number(r.jitterMicros)));
        QCOMPARE(r.bestMicros, 10'000LL);
        QCOMPARE(r.worstMicros, 20'000LL);
        QCOMPARE(r.meanMicros(), 15'000.0);
    }

    // Loss that the later hops do not show is the router's own; loss on
    // the path starts where every later hop shows it.
    void readingTheHops_data() {
        QTest::addColumn<std::vector<int>>("loss");
        QTest::addColumn<std::vector<int>>("limiting"); // hop numbers
        QTest::addColumn<int>("start");
        QTest::newRow("clean") << std::vector<int>{0, 0, 0, 0} << std::vector<int>{} << 0;
        QTest::newRow("hop 2 limits") << std::vector<int>{0, 60, 0, 0} << std::vector<int>{2} << 0;
        QTest::newRow("from hop 3") << std::vector<int>{0, 0, 30, 32} << std::vector<int>{} << 3;
        QTest::newRow("limits and loss") << std::vector<int>{0, 80, 30, 28} << std::vector<int>{2} << 3;
        QTest::newRow("silent hop") << std::vector<int>{0, 100, 0, 0} << std::vector<int>{2} << 0;
        QTest::newRow("chance") << std::vector<int>{0, 3, 2, 1} << std::vector<int>{} << 0;
        QTest::newRow("the path ends") << std::vector<int>{0, 0, 100, 100} << std::vector<int>{} << 3;
    }
    void readingTheHops() {
        QFETCH(std::vector<int>, loss);
        QFETCH(std::vector<int>, limiting);
        QFETCH(int, start);
        std::vector<HopRecord> hops = hopsWithLoss({loss[0], loss[1], loss[2], loss[3]});
        const PathReading reading = readPath(hops, 4);
        for (int h = 1; h <= 4; ++h)
            QCOMPARE(bool(reading.limitsAnswers[std::size_t(h - 1)]),
                     std::find(limiting.begin(), limiting.end(), h) != limiting.end());
        QCOMPARE(reading.lossStartHop, start);
        if (start && loss[std::size_t(start - 1)] == 100)
            QCOMPARE(reading.lossStartText(),
                     QStringLiteral("loss starts at hop %1, where nothing answers").arg(start));
        else if (start)
            QCOMPARE(reading.lossStartText(), QStringLiteral("loss starts at hop %1 (10.0.0.%1)").arg(start));
        else
            QVERIFY(reading.lossStartText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTrace)
#include "TestTrace.moc"
