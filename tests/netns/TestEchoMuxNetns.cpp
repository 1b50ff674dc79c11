// Many echoes at once over one shared socket, in the private test network of
// netns-run.sh: every reply, error and time-out must end its own echo and no
// other, and a slow or silent host must not hold up the rest.

#include "SocketKindRows.h"
#include "icmp/AddressText.h"
#include "icmp/EchoMux.h"
#include "icmp/LinuxIcmpSocket.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>

#include <arpa/inet.h>

namespace {

// How much later than its time-out an echo may end.
constexpr qint64 kSlackMs = 100;

struct Probe {
    std::unique_ptr<IAsyncEcho> channel;
    IpAddress target;
    std::vector<std::uint8_t> data;
    EchoResult result;
    int calls = 0;
    qint64 elapsedMs = -1;
};

bool allDone(const std::deque<Probe>& probes) {
    return std::ranges::all_of(probes, [](const Probe& p) { return p.calls > 0; });
}

} // namespace

class TestEchoMuxNetns : public QObject {
    Q_OBJECT

    std::unique_ptr<EchoMux> mux;
    std::deque<Probe> probes;
    QElapsedTimer clock;

    // Starts an echo on a new channel, or again on the probe's own. The data
    // differs from probe to probe, so that a reply fits one echo only.
    Probe& start(const QString& host, int timeoutMs, int size = 56, int ttl = 64, int flags = 0,
                 Probe* again = nullptr) {
        Probe& p = again ? *again : probes.emplace_back();
        if (!p.channel)
            p.channel = mux->channel();
        p.target = IpAddress::parse(host.toStdString()).value_or(IpAddress{});
        p.data.assign(static_cast<std::size_t>(size), static_cast<std::uint8_t>(probes.size()));
        p.calls = 0;
        p.channel->start(
            {p.target, p.data, static_cast<std::uint8_t>(ttl), static_cast<std::uint8_t>(flags), timeoutMs},
            [this, &p](const EchoResult& r) {
                p.result = r;
                p.elapsedMs = clock.elapsed();
                ++p.calls;
            });
        if (p.calls != 0)
            qFatal("done ran inside start()");
        return p;
    }

    void open() {
        QFETCH(SocketKind, kind);
        int error = 0;
        mux = EchoMux::open(kind, &error);
        QVERIFY2(mux, qPrintable(QStringLiteral("errno %1").arg(error)));
        QCOMPARE(mux->kind() == EchoMux::Kind::Raw, kind == SocketKind::Raw);
        QVERIFY(mux->hasIPv4() && mux->hasIPv6());
        clock.start();
    }

    // A reply from the probe's own target, with its data, through the router.
    static void verifyReply(const Probe& p) {
        QCOMPARE(p.calls, 1);
        QCOMPARE(p.result.replies, 1);
        QCOMPARE(p.result.status, 0u);
        QCOMPARE(p.result.from.text(), p.target.text());
        QCOMPARE(p.result.reply.Address, p.target.v4());
        QCOMPARE(std::size_t{p.result.reply.DataSize}, p.data.size());
        QCOMPARE(p.result.reply.Options.Ttl, 63);
        QCOMPARE(p.result.reply.RoundTripTime, std::uint32_t(p.result.roundTripNanos / 1'000'000));
    }

    // `from` "" for none; the record names IPv4 senders only.
    static void verifyStatus(const Probe& p, std::uint32_t status, const char* from) {
        QCOMPARE(p.calls, 1);
        QCOMPARE(p.result.replies, 0);
        QCOMPARE(p.result.status, status);
        QCOMPARE(p.result.from.text(), std::string(from));
        QCOMPARE(p.result.reply.Address, p.result.from.v4());
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("LINKVIGIL_NETNS"))
            QSKIP("SKIPPED LOUDLY: this test must run inside tests/netns/netns-run.sh (root, network namespaces)");
    }
    void cleanup() {
        probes.clear();
        mux.reset();
    }

    // 198.18.0.3 answers after 500 ms: it times out at 300 ms while the
    // others end on their own replies, and its late replies are dropped.
    void slowHostsDoNotHoldUpTheRest_data() { addSocketKindsAndFamilies(); }
    void slowHostsDoNotHoldUpTheRest() {
        QFETCH(bool, ipv6);
        open();
        const auto hosts = ipv6 ? std::array{"2001:db8:18::1", "2001:db8:18::2", "2001:db8:18::3"}
                                : std::array{"198.18.0.1", "198.18.0.2", "198.18.0.3"};
        for (int i = 0; i < 8; ++i)
            for (const char* host : hosts)
                start(QString::fromLatin1(host), 300);
        QTRY_VERIFY_WITH_TIMEOUT(allDone(probes), 2000);
        QTest::qWait(300);
        for (std::size_t i = 0; i < probes.size(); i += 3) {
            verifyReply(probes[i]);
            verifyReply(probes[i + 1]);
            QVERIFY(probes[i + 1].result.roundTripNanos >= 20'000'000);
            QVERIFY(std::max(probes[i].elapsedMs, probes[i + 1].elapsedMs) < 200);
            verifyStatus(probes[i + 2], 11010, "");
            QCOMPARE(probes[i + 2].result.roundTripNanos, -1);
            QVERIFY2(probes[i + 2].elapsedMs >= 300 && probes[i + 2].elapsedMs <= 300 + kSlackMs,
                     qPrintable(QString::number(probes[i + 2].elapsedMs)));
        }
        QCOMPARE(mux->inFlight(), 0u);
    }

    // Hostile answers (wrong sequence or identifier, spoofed, bad checksum,
    // truncated, changed data, an error about another echo, a redirect, a
    // stale copy) arrive among echoes that must each get their own outcome.
    // The responder's wrong sequence number is the next echo's.
    void errorsAndHostileAnswers_data() { addSocketKinds(); }
    void errorsAndHostileAnswers() {
        open();
        for (int i : {5, 6, 7, 8, 9, 10, 12, 13, 18})
            start(QStringLiteral("198.18.0.%1").arg(i), 300);
        const std::size_t hostile = probes.size();
        start(QStringLiteral("192.0.2.1"), 1000);
        start(QStringLiteral("192.0.2.1"), 1000, 56, 1);
        start(QStringLiteral("198.18.0.11"), 1000);
        start(QStringLiteral("203.0.113.1"), 1000, 1400, 64, 2);
        // "Fragmentation needed" after 50 ms, when the socket has long been
        // set for the next echoes, without Don't Fragment.
        start(QStringLiteral("198.18.0.23"), 1000, 56, 64, 2);
        start(QStringLiteral("203.0.113.1"), 1000, 1400);
        start(QStringLiteral("198.19.1.1"), 1000); // unreachable route: the send fails
        QTRY_VERIFY_WITH_TIMEOUT(allDone(probes), 2000);

        for (std::size_t i = 0; i < hostile; ++i) {
            verifyStatus(probes[i], 11010, "");
            QVERIFY(probes[i].elapsedMs >= 300);
        }
        verifyReply(probes[hostile]);
        verifyStatus(probes[hostile + 1], 11013, "198.51.100.254");
        verifyStatus(probes[hostile + 2], 11003, "198.18.0.11");
        QCOMPARE(probes[hostile + 2].result.reply.Status, 11003u);
        QVERIFY(probes[hostile + 2].result.roundTripNanos >= 0);
        verifyStatus(probes[hostile + 3], 11009, "198.51.100.254");
        verifyStatus(probes[hostile + 4], 11009, "198.18.0.23");
        verifyReply(probes[hostile + 5]);
        verifyStatus(probes[hostile + 6], 11003, "");
        for (std::size_t i = hostile; i < probes.size(); ++i)
            QVERIFY2(probes[i].elapsedMs < 200, qPrintable(QString::number(i)));
    }

    // The same over ICMPv6. An IPv6 router never fragments, so the large
    // echo without Don't Fragment gets through only once the path MTU is
    // known here.
    void errorsAndHostileAnswersOverIpv6_data() { addSocketKinds(); }
    void errorsAndHostileAnswersOverIpv6() {
        open();
        for (const char* host : {"5", "6", "7", "8", "9", "a", "11", "12"})
            start(QStringLiteral("2001:db8:18::") + QString::fromLatin1(host), 300);
        const std::size_t hostile = probes.size();
        start(QStringLiteral("2001:db8::1"), 1000);
        start(QStringLiteral("2001:db8::1"), 1000, 56, 1);
        start(QStringLiteral("2001:db8:18::c"), 1000);
        start(QStringLiteral("2001:db8:203::1"), 1000, 1400, 64, 2);
        // "Packet too big" after 50 ms, when the socket has long been set
        // for the next echoes, without Don't Fragment.
        start(QStringLiteral("2001:db8:18::17"), 1000, 56, 64, 2);
        start(QStringLiteral("2001:db8::7"), 1000);
        start(QStringLiteral("2001:db8:ff01::1"), 1000); // unreachable route: the send fails
        QTRY_VERIFY_WITH_TIMEOUT(allDone(probes), 2000);

        for (std::size_t i = 0; i < hostile; ++i) {
            verifyStatus(probes[i], 11010, "");
            QVERIFY(probes[i].elapsedMs >= 300);
        }
        verifyReply(probes[hostile]);
        verifyStatus(probes[hostile + 1], 11013, "2001:db8:51::fe");
        verifyStatus(probes[hostile + 2], 11003, "2001:db8:18::c");
        verifyStatus(probes[hostile + 3], 11009, "2001:db8:51::fe");
        verifyStatus(probes[hostile + 4], 11009, "2001:db8:18::17");
        verifyStatus(probes[hostile + 5], 11003, "2001:db8::7");
        verifyStatus(probes[hostile + 6], 11003, "");
        for (std::size_t i = hostile; i < probes.size(); ++i)
            QVERIFY2(probes[i].elapsedMs < 200, qPrintable(QString::number(i)));

        Probe& fragmented = start(QStringLiteral("2001:db8:203::1"), 1000, 1400);
        QTRY_COMPARE_WITH_TIMEOUT(fragmented.calls, 1, 2000);
        verifyReply(fragmented);
    }

    // A cancelled echo's reply, arriving during the next echo on the same
    // channel, does not end that one; nor does a destroyed channel's.
    void cancelledEchoesStaySilent_data() { addSocketKindsAndFamilies(); }
    void cancelledEchoesStaySilent() {
        QFETCH(bool, ipv6);
        open();
        const QString slow = ipv6 ? QStringLiteral("2001:db8:18::3") : QStringLiteral("198.18.0.3");
        Probe& p = start(slow, 2000);
        start(slow, 2000).channel.reset();
        QTest::qWait(300);
        p.channel->cancel();
        QCOMPARE(mux->inFlight(), 0u);
        const qint64 restarted = clock.elapsed();
        start(slow, 2000, 56, 64, 0, &p);
        QTRY_COMPARE_WITH_TIMEOUT(p.calls, 1, 2000);
        verifyReply(p);
        QVERIFY2(p.elapsedMs - restarted >= 495, qPrintable(QString::number(p.elapsedMs - restarted)));
        QCOMPARE(probes[1].calls, 0);
    }

    // A reply, an ICMP error and a time-out give the same result as on the
    // blocking transport, but for the round trip's length.
    void sameResultsAsTheBlockingTransport_data() { addSocketKindsAndFamilies(); }
    void sameResultsAsTheBlockingTransport() {
        QFETCH(SocketKind, kind);
        QFETCH(bool, ipv6);
        open();
        auto blocking = LinuxIcmpSocket::open(kind, nullptr);
        QVERIFY(blocking);
        blocking->setWaiter(std::make_unique<PollWaiter>());
        const auto hosts = ipv6 ? std::array{"2001:db8:18::2", "2001:db8:18::c", "2001:db8::2"}
                                : std::array{"198.18.0.2", "198.18.0.11", "192.0.2.2"};
        for (const char* host : hosts) {
            Probe& p = start(QString::fromLatin1(host), 200);
            QTRY_COMPARE_WITH_TIMEOUT(p.calls, 1, 1000);
            EchoResult b = blocking->echo({p.target, p.data, 64, 0, 200});
            QCOMPARE(p.result.replies, b.replies);
            QCOMPARE(p.result.status, b.status);
            QCOMPARE(p.result.roundTripNanos < 0, b.roundTripNanos < 0);
            QCOMPARE(p.result.from, b.from);
            QCOMPARE(b.reply.RoundTripTime, std::uint32_t(std::max<std::int64_t>(b.roundTripNanos, 0) / 1'000'000));
            b.reply.RoundTripTime = p.result.reply.RoundTripTime;
            QVERIFY(std::memcmp(&b.reply, &p.result.reply, sizeof b.reply) == 0);
        }
        QVERIFY(probes[0].result.roundTripNanos >= 20'000'000);
    }

    // Echoes in flight when the mux goes (even from inside a `done`) fail
    // later with 11050, as do channels used after it.
    void channelsMayOutliveTheMux() {
        mux = EchoMux::open(SocketKind::Ping, nullptr);
        QVERIFY(mux);
        Probe& first = start(QStringLiteral("198.18.0.1"), 1000);
        Probe& slow = start(QStringLiteral("198.18.0.3"), 1000);
        int slowCallsThen = -1;
        first.channel->start({first.target, first.data, 64, 0, 1000}, [&](const EchoResult&) {
            mux.reset();
            slowCallsThen = slow.calls;
        });
        QTRY_COMPARE(slowCallsThen, 0);
        QTRY_COMPARE(slow.calls, 1);
        QCOMPARE(slow.result.status, 11050u);
        start(QStringLiteral("198.18.0.1"), 1000, 56, 64, 0, &slow);
        QTRY_COMPARE(slow.calls, 1);
        QCOMPARE(slow.result.status, 11050u);
    }

    // Ten answering hosts of both families, 20 channels each, all at once
    // over both sockets; the duplicates from 198.18.0.4 and 2001:db8:18::4
    // come 50 ms later and are dropped.
    void burstOfChannelsToFewHosts_data() { addSocketKinds(); }
    void burstOfChannelsToFewHosts() {
        open();
        const char* hosts[] = {"198.18.0.1",     "198.18.0.2",     "198.18.0.4",     "198.18.0.22",     "192.0.2.1",
                               "2001:db8:18::1", "2001:db8:18::2", "2001:db8:18::4", "2001:db8:18::16", "2001:db8::1"};
        for (int i = 0; i < 200; ++i)
            start(QString::fromLatin1(hosts[i % 10]), 2000, i % 100);
        QTRY_VERIFY_WITH_TIMEOUT(allDone(probes), 3000);
        QTest::qWait(100);
        for (const Probe& p : probes)
            verifyReply(p);
    }

    // Every address of the kernel host's /22 answers; the first echo lets
    // the neighbours resolve, as packets queued meanwhile may be dropped.
    void thousandHosts_data() { addSocketKinds(); }
    void thousandHosts() {
        open();
        start(QStringLiteral("198.18.4.1"), 1000);
        QTRY_VERIFY(allDone(probes));
        probes.clear();
        clock.restart();
        const std::uint32_t first = inet::parse(QStringLiteral("198.18.4.1"));
        for (std::uint32_t i = 0; i < 1000; ++i)
            start(inet::format(htonl(ntohl(first) + i)), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(allDone(probes), 5000);
        qint64 last = 0;
        for (const Probe& p : probes) {
            QCOMPARE(p.result.from, p.target);
            QCOMPARE(p.result.replies, 1);
            last = std::max(last, p.elapsedMs);
        }
        qInfo("1000 hosts answered within %lld ms", static_cast<long long>(last));
    }
};

QTEST_GUILESS_MAIN(TestEchoMuxNetns)
#include "TestEchoMuxNetns.moc"
