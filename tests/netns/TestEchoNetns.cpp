// Real echoes through the kernel, run inside the private test network of
// netns-run.sh: kernel hosts, a router, a rejecting host, a small-MTU link and
// the project's own responder with its hostile answers.

#include "SocketKindRows.h"
#include "icmp/AddressText.h"
#include "icmp/LinuxIcmpSocket.h"
#include "icmp/TICMP.h"
#include "ping/TPing.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

// How much later than its time-out an echo may end.
constexpr qint64 kSlackMs = 100;

struct Echo {
    int result = 0;
    std::uint32_t status = 0;
    TIcmpEchoReply reply;
    QString from; // the sender of the reply or error, "" for none
    qint64 elapsedMs = 0;
    QStringList displayed;
};

// The host of a row of either family.
QString host(const char* v4, const char* v6) {
    QFETCH(bool, ipv6);
    return QString::fromLatin1(ipv6 ? v6 : v4);
}

} // namespace

class TestEchoNetns : public QObject {
    Q_OBJECT

    std::unique_ptr<TICMP> icmp;

    Echo send(const QString& host, int timeout = 1000, int size = 56, int ttl = 64, int flags = 0) {
        Echo e;
        icmp->OnDisplay = [&e](TICMP*, const QString& m) { e.displayed << m; };
        icmp->SetAddress(host);
        icmp->Timeout = timeout;
        icmp->Size = size;
        icmp->TTL = ttl;
        icmp->Flags = flags;
        QElapsedTimer clock;
        clock.start();
        e.result = icmp->SendEcho();
        e.elapsedMs = clock.elapsed();
        e.status = icmp->LastStatus();
        e.reply = icmp->LastReply();
        e.from = QString::fromStdString(icmp->LastReplyFrom().text());
        return e;
    }

    // The sender, and the record's address: the same for IPv4, 0 for IPv6.
    static void verifySender(const Echo& e, const QString& from) {
        QCOMPARE(e.from, from);
        QCOMPARE(e.reply.Address, from.contains(u':') || from.isEmpty() ? 0u : inet::parse(from));
    }

    void open() {
        QFETCH(SocketKind, kind);
        icmp = std::make_unique<TICMP>(kind);
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("LINKVIGIL_NETNS"))
            QSKIP("SKIPPED LOUDLY: this test must run inside tests/netns/netns-run.sh (root, network namespaces)");
    }
    void cleanup() { icmp.reset(); }

    void bothSocketKindsOpen_data() { addSocketKinds(); }
    void bothSocketKindsOpen() {
        QFETCH(SocketKind, kind);
        int error = 0;
        auto socket = LinuxIcmpSocket::open(kind, &error);
        QVERIFY2(socket, qPrintable(QStringLiteral("errno %1").arg(error)));
        QCOMPARE(socket->kind() == LinuxIcmpSocket::Kind::Raw, kind == SocketKind::Raw);
        QVERIFY(socket->hasIPv4() && socket->hasIPv6());
    }

    void answeredEcho_data() { addSocketKindsAndFamilies(); }
    void answeredEcho() {
        open();
        const QString target = host("192.0.2.1", "2001:db8::1");
        const Echo e = send(target);
        QCOMPARE(e.result, 1);
        QCOMPARE(e.status, 0u);
        verifySender(e, target);
        QCOMPARE(e.reply.DataSize, 56);
        QCOMPARE(e.reply.Options.Ttl, 63); // 64, less one for the router
        QVERIFY(e.reply.RoundTripTime < 50);
        QCOMPARE(icmp->ResolvedIP(), target);
    }

    void roundTripFollowsTheDelay_data() { addSocketKindsAndFamilies(); }
    void roundTripFollowsTheDelay() {
        open();
        QFETCH(bool, ipv6);
        // The IPv6 host answers after 30 ms, the IPv4 one after 200 ms.
        const std::uint32_t delay = ipv6 ? 30 : 200;
        for (int i = 0; i < 3; ++i) {
            const Echo e = send(host("198.18.0.20", "2001:db8:18::16"));
            QCOMPARE(e.result, 1);
            QVERIFY2(e.reply.RoundTripTime >= delay && e.reply.RoundTripTime <= delay + 15,
                     qPrintable(QString::number(e.reply.RoundTripTime)));
        }
    }

    void sizesThatFit_data() {
        QTest::addColumn<SocketKind>("kind");
        QTest::addColumn<bool>("ipv6");
        QTest::addColumn<int>("size");
        for (auto [name, kind] : {std::pair{"ping", SocketKind::Ping}, std::pair{"raw", SocketKind::Raw}}) {
            QTest::addRow("%s 0", name) << kind << false << 0;
            QTest::addRow("%s 1", name) << kind << false << 1;
            QTest::addRow("%s 1472 (one full frame)", name) << kind << false << 1472;
            QTest::addRow("%s 4000 (fragmented)", name) << kind << false << 4000;
            QTest::addRow("%s IPv6 0", name) << kind << true << 0;
            QTest::addRow("%s IPv6 1452 (one full frame)", name) << kind << true << 1452;
            QTest::addRow("%s IPv6 4000 (fragmented here)", name) << kind << true << 4000;
            QTest::addRow("%s IPv6 65527 (largest)", name) << kind << true << 65527;
        }
    }
    void sizesThatFit() {
        QFETCH(int, size);
        open();
        const Echo e = send(host("192.0.2.1", "2001:db8::1"), 1000, size);
        QCOMPARE(e.result, 1);
        QCOMPARE(int(e.reply.DataSize), size);
    }

    void droppedEchoTimesOut_data() { addSocketKindsAndFamilies(); }
    void droppedEchoTimesOut() {
        open();
        const Echo e = send(host("192.0.2.2", "2001:db8::2"), 500);
        QCOMPARE(e.result, 0);
        QCOMPARE(e.status, 11010u);
        QCOMPARE(icmp->StatusText(), QStringLiteral("Request timed out"));
        QVERIFY2(e.elapsedMs >= 495 && e.elapsedMs <= 500 + kSlackMs, qPrintable(QString::number(e.elapsedMs)));
        verifySender(e, QString());
    }

    void icmpErrors_data() {
        QTest::addColumn<SocketKind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("ttl");
        QTest::addColumn<uint>("status");
        QTest::addColumn<QString>("from");
        const struct {
            const char* name;
            const char* host;
            int ttl;
            uint status;
            const char* from;
        } rows[] = {
            {"host unreachable", "192.0.2.3", 64, 11003, "192.0.2.3"},
            {"net unreachable", "192.0.2.4", 64, 11002, "192.0.2.4"},
            {"port unreachable", "192.0.2.5", 64, 11005, "192.0.2.5"},
            {"protocol unreachable", "192.0.2.6", 64, 11004, "192.0.2.6"},
            {"administratively prohibited", "192.0.2.7", 64, 11003, "192.0.2.7"},
            {"TTL expired at the router", "192.0.2.1", 1, 11013, "198.51.100.254"},
            {"responder: host unreachable", "198.18.0.11", 64, 11003, "198.18.0.11"},
            {"responder: parameter problem", "198.18.0.14", 64, 11015, "198.18.0.14"},
            {"responder: source quench", "198.18.0.15", 64, 11016, "198.18.0.15"},
            {"responder: TTL expired in transit", "198.18.0.19", 64, 11013, "198.18.0.19"},
            {"IPv6 address unreachable", "2001:db8::3", 64, 11003, "2001:db8::3"},
            {"IPv6 no route", "2001:db8::4", 64, 11002, "2001:db8::4"},
            {"IPv6 port unreachable", "2001:db8::5", 64, 11005, "2001:db8::5"},
            {"IPv6 administratively prohibited", "2001:db8::7", 64, 11003, "2001:db8::7"},
            {"IPv6 hop limit expired at the router", "2001:db8::1", 1, 11013, "2001:db8:51::fe"},
            {"IPv6 responder: no route", "2001:db8:18::b", 64, 11002, "2001:db8:18::b"},
            {"IPv6 responder: address unreachable", "2001:db8:18::c", 64, 11003, "2001:db8:18::c"},
            {"IPv6 responder: packet too big", "2001:db8:18::d", 64, 11009, "2001:db8:18::d"},
            {"IPv6 responder: hop limit", "2001:db8:18::e", 64, 11013, "2001:db8:18::e"},
            {"IPv6 responder: parameter problem", "2001:db8:18::f", 64, 11015, "2001:db8:18::f"},
        };
        for (auto [name, kind] : {std::pair{"ping", SocketKind::Ping}, std::pair{"raw", SocketKind::Raw}})
            for (const auto& r : rows)
                QTest::addRow("%s: %s", name, r.name)
                    << kind << QString::fromLatin1(r.host) << r.ttl << r.status << QString::fromLatin1(r.from);
        QTest::addRow("raw: reassembly time exceeded")
            << SocketKind::Raw << QStringLiteral("198.18.0.17") << 64 << 11014u << QStringLiteral("198.18.0.17");
    }
    void icmpErrors() {
        QFETCH(QString, host);
        QFETCH(int, ttl);
        QFETCH(uint, status);
        QFETCH(QString, from);
        open();
        const Echo e = send(host, 1000, 56, ttl);
        QCOMPARE(e.result, 0);
        QCOMPARE(e.status, status);
        QCOMPARE(e.reply.Status, status);
        verifySender(e, from);
        QVERIFY(e.elapsedMs < 500);
    }

    void dontFragment_data() { addSocketKindsAndFamilies(); }
    void dontFragment() {
        open();
        const QString target = host("203.0.113.1", "2001:db8:203::1");
        const QString router = host("198.51.100.254", "2001:db8:51::fe");
        const Echo big = send(target, 1000, 1400, 64, 2);
        QCOMPARE(big.result, 0);
        QCOMPARE(big.status, 11009u);
        QCOMPARE(icmp->StatusText(), QStringLiteral("Packet too big"));
        verifySender(big, router);
        // Without the flag the router (IPv4) or this host (IPv6, at the path
        // MTU it learned just now) fragments it; with the flag again the
        // learned MTU is ignored and the router tells once more.
        const Echo fragmented = send(target, 1000, 1400, 64, 0);
        QCOMPARE(fragmented.result, 1);
        QCOMPARE(fragmented.reply.DataSize, 1400);
        verifySender(send(target, 1000, 1400, 64, 2), router);
        // Flags 258 sends the flags byte 2.
        QCOMPARE(send(target, 1000, 1400, 64, 258).status, 11009u);
        QCOMPARE(send(target, 1000, 900, 64, 2).result, 1);
        // Over this link's own MTU the kernel refuses at once.
        const Echo local = send(target, 1000, 1600, 64, 2);
        QCOMPARE(local.status, 11009u);
        verifySender(local, QString());
    }

    // IPv6 routers never fragment: the first echo over a path whose smaller
    // MTU this host has not learned yet ends in "packet too big" even
    // without Don't Fragment; the next one is fragmented here.
    void ipv6PathMtuIsLearnedFromTheFirstEcho_data() { addSocketKinds(); }
    void ipv6PathMtuIsLearnedFromTheFirstEcho() {
        const QStringList flush = {QStringLiteral("-6"), QStringLiteral("route"), QStringLiteral("flush"),
                                   QStringLiteral("cache")};
        QCOMPARE(QProcess::execute(QStringLiteral("ip"), flush), 0);
        open();
        const Echo first = send(QStringLiteral("2001:db8:203::1"), 1000, 1400);
        QCOMPARE(first.status, 11009u);
        QCOMPARE(first.from, QStringLiteral("2001:db8:51::fe"));
        QCOMPARE(send(QStringLiteral("2001:db8:203::1"), 1000, 1400).result, 1);
    }

    void localRouteErrors_data() {
        QTest::addColumn<SocketKind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<uint>("status");
        for (auto [name, kind] : {std::pair{"ping", SocketKind::Ping}, std::pair{"raw", SocketKind::Raw}}) {
            QTest::addRow("%s unreachable route", name) << kind << QStringLiteral("198.19.1.1") << 11003u;
            QTest::addRow("%s prohibited route", name) << kind << QStringLiteral("198.19.2.1") << 11018u;
            QTest::addRow("%s no route", name) << kind << QStringLiteral("100.64.0.1") << 11002u;
            QTest::addRow("%s broadcast text", name) << kind << QStringLiteral("255.255.255.255") << 11018u;
            QTest::addRow("%s IPv6 unreachable route", name) << kind << QStringLiteral("2001:db8:ff01::1") << 11003u;
            QTest::addRow("%s IPv6 prohibited route", name) << kind << QStringLiteral("2001:db8:ff02::1") << 11018u;
            QTest::addRow("%s IPv6 no route", name) << kind << QStringLiteral("2001:db8:99::1") << 11002u;
        }
    }
    void localRouteErrors() {
        QFETCH(QString, host);
        QFETCH(uint, status);
        open();
        const Echo e = send(host);
        QCOMPARE(e.result, 0);
        QCOMPARE(e.status, status);
        QVERIFY(e.elapsedMs < 200);
    }

    void namesAndInvalidHosts_data() { addSocketKinds(); }
    void namesAndInvalidHosts() {
        open();
        Echo e = send(QStringLiteral("255.255.255.255"));
        QCOMPARE(e.result, 0);
        QCOMPARE(e.status, 11018u);
        QCOMPARE(e.displayed, QStringList{QStringLiteral("Invalid host address")});

        e = send(QStringLiteral("nosuch.test"));
        QCOMPARE(e.result, 0);
        QCOMPARE(e.status, 11018u);
        QCOMPARE(e.displayed, QStringList({QStringLiteral("Unable to resolve nosuch.test"),
                                           QStringLiteral("Invalid host address")}));

        e = send(QStringLiteral("echo-host.test"));
        QCOMPARE(e.result, 1);
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("192.0.2.1"));
    }

    // Names of either family or both, through the system resolver.
    void namesOfBothFamilies_data() { addSocketKinds(); }
    void namesOfBothFamilies() {
        open();
        const struct {
            const char* name;
            bool preferIPv6;
            const char* address;
        } rows[] = {
            {"echo6-host.test", false, "2001:db8::1"}, {"v6only.test", false, "2001:db8::10"},
            {"dual-host.test", false, "192.0.2.1"},    {"dual-host.test", true, "2001:db8::10"},
            {"echo-host.test", true, "192.0.2.1"},
        };
        for (const auto& r : rows) {
            icmp->SetPreferIPv6(r.preferIPv6);
            const Echo e = send(QString::fromLatin1(r.name));
            QCOMPARE(e.result, 1);
            QCOMPARE(icmp->ResolvedIP(), QString::fromLatin1(r.address));
            QCOMPARE(e.from, QString::fromLatin1(r.address));
        }
    }

    void lateReplyIsNotCountedForTheNext_data() { addSocketKindsAndFamilies(); }
    void lateReplyIsNotCountedForTheNext() {
        open();
        const QString slow = host("198.18.0.3", "2001:db8:18::3"); // answered after 500 ms
        const Echo first = send(slow, 300);
        QCOMPARE(first.status, 11010u);
        // The late answer to the first arrives about 200 ms into this one.
        const Echo second = send(slow, 1000);
        QCOMPARE(second.result, 1);
        QVERIFY2(second.reply.RoundTripTime >= 495, qPrintable(QString::number(second.reply.RoundTripTime)));
    }

    // The late answer to each echo arrives in the middle of the next one:
    // that wait still ends at its own time-out, and the stray answer never
    // counts for it.
    void backToBackTimeOutsKeepTheirTimeOut_data() { addSocketKindsAndFamilies(); }
    void backToBackTimeOutsKeepTheirTimeOut() {
        open();
        for (int i = 0; i < 3; ++i) {
            const Echo e = send(host("198.18.0.3", "2001:db8:18::3"), 300); // answered after 500 ms
            QCOMPARE(e.status, 11010u);
            QCOMPARE(e.result, 0);
            QVERIFY2(e.elapsedMs >= 300 && e.elapsedMs <= 300 + kSlackMs, qPrintable(QString::number(e.elapsedMs)));
        }
    }

    void duplicatesAndLoss_data() { addSocketKindsAndFamilies(); }
    void duplicatesAndLoss() {
        open();
        for (int i = 0; i < 3; ++i) {
            const Echo e = send(host("198.18.0.4", "2001:db8:18::4"), 500); // every reply comes twice
            QCOMPARE(e.result, 1);
            QVERIFY(e.reply.RoundTripTime < 40);
            QTest::qWait(30);
        }
        // The pattern ".x" alternates answers and losses; earlier rows may
        // have left it at a loss.
        const QString lossy = host("198.18.0.16", "2001:db8:18::10");
        if (send(lossy, 300).result == 0)
            QCOMPARE(send(lossy, 300).result, 1);
        QCOMPARE(send(lossy, 300).status, 11010u);
        QCOMPARE(send(lossy, 300).result, 1);
    }

    // Answers that are not ours are read and passed over until the deadline.
    void hostileAnswersAreIgnored_data() {
        QTest::addColumn<SocketKind>("kind");
        QTest::addColumn<QString>("host");
        const struct {
            const char* name;
            const char* host;
        } rows[] = {
            {"wrong sequence", "198.18.0.5"},
            {"wrong identifier", "198.18.0.6"},
            {"spoofed source", "198.18.0.7"},
            {"bad checksum", "198.18.0.8"},
            {"truncated", "198.18.0.9"},
            {"changed data", "198.18.0.10"},
            {"error about another", "198.18.0.12"},
            {"redirect", "198.18.0.13"},
            {"stale duplicate", "198.18.0.18"},
            {"IPv6 wrong sequence", "2001:db8:18::5"},
            {"IPv6 wrong identifier", "2001:db8:18::6"},
            {"IPv6 spoofed source", "2001:db8:18::7"},
            {"IPv6 bad checksum", "2001:db8:18::8"},
            {"IPv6 truncated", "2001:db8:18::9"},
            {"IPv6 changed data", "2001:db8:18::a"},
            {"IPv6 error about another", "2001:db8:18::11"},
            {"IPv6 stale duplicate", "2001:db8:18::12"},
        };
        for (auto [name, kind] : {std::pair{"ping", SocketKind::Ping}, std::pair{"raw", SocketKind::Raw}})
            for (const auto& r : rows)
                QTest::addRow("%s: %s", name, r.name) << kind << QString::fromLatin1(r.host);
    }
    void hostileAnswersAreIgnored() {
        QFETCH(QString, host);
        open();
        for (int i = 0; i < 2; ++i) {
            const Echo e = send(host, 300);
            QCOMPARE(e.result, 0);
            QCOMPARE(e.status, 11010u);
            QVERIFY2(e.elapsedMs >= 295 && e.elapsedMs <= 300 + kSlackMs, qPrintable(QString::number(e.elapsedMs)));
        }
    }

    // While an echo waits, timers (and so painting) go on.
    void eventLoopRunsWhileWaiting() {
        icmp = std::make_unique<TICMP>(SocketKind::Ping);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(20);
        const Echo e = send(QStringLiteral("192.0.2.2"), 600);
        QCOMPARE(e.status, 11010u);
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    }

    void pingComponentLooksNamesUp() {
        TPing ping(nullptr, SocketKind::Ping);
        QList<int> done;
        ping.OnDnsLookupDone = [&](QObject*, std::uint16_t error) { done << error; };
        ping.StartDnsLookup(QStringLiteral("echo-host.test"));
        QVERIFY(done.isEmpty());
        QTRY_COMPARE(done, QList<int>{0});
        QCOMPARE(ping.DnsLookupResult(), QStringLiteral("192.0.2.1"));
        ping.StartDnsLookup(QStringLiteral("nosuch.test"));
        QTRY_COMPARE(done, QList<int>({0, 11001}));
        QVERIFY(ping.DnsLookupResult().isEmpty());
    }

    void echoTool_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("answered") << QStringList{QStringLiteral("192.0.2.1")} << 0
                                  << QStringLiteral(
                                         "^result=1 status=0 text=\"No error\" rtt=\\d+ from=192\\.0\\.2\\.1 "
                                         "ttl=63 bytes=56\\n$");
        QTest::newRow("raw, two echoes")
            << QStringList{QStringLiteral("--socket"), QStringLiteral("raw"),        QStringLiteral("--count"),
                           QStringLiteral("2"),        QStringLiteral("--interval"), QStringLiteral("50"),
                           QStringLiteral("--size"),   QStringLiteral("10"),         QStringLiteral("192.0.2.1")}
            << 0
            << QStringLiteral(
                   "^(result=1 status=0 text=\"No error\" rtt=\\d+ from=192\\.0\\.2\\.1 ttl=63 bytes=10\\n){2}$");
        QTest::newRow("timed out") << QStringList{QStringLiteral("--timeout"), QStringLiteral("300"),
                                                  QStringLiteral("192.0.2.2")}
                                   << 1
                                   << QStringLiteral("^result=0 status=11010 text=\"Request timed out\" rtt=0 "
                                                     "from=0\\.0\\.0\\.0 ttl=0 bytes=0\\n$");
        QTest::newRow("unknown name") << QStringList{QStringLiteral("nosuch.test")} << 1
                                      << QStringLiteral(
                                             "^display: Unable to resolve nosuch.test\\ndisplay: Invalid host "
                                             "address\\nresult=0 status=11018 text=\"Bad Destination\"");
        QTest::newRow("IPv6") << QStringList{QStringLiteral("2001:0db8::1")} << 0
                              << QStringLiteral("^result=1 status=0 text=\"No error\" rtt=\\d+ from=2001:db8::1 "
                                                "ttl=63 bytes=56\\n$");
        QTest::newRow("IPv6 preferred") << QStringList{QStringLiteral("--prefer-ipv6"), QStringLiteral("--timeout"),
                                                       QStringLiteral("300"), QStringLiteral("dual-host.test")}
                                        << 0
                                        << QStringLiteral(
                                               "^result=1 status=0 text=\"No error\" rtt=\\d+ from=2001:db8::10 ");
        QTest::newRow("IPv6 timed out") << QStringList{QStringLiteral("--timeout"), QStringLiteral("300"),
                                                       QStringLiteral("2001:db8::2")}
                                        << 1 << QStringLiteral("^result=0 status=11010 .* from=:: ttl=0 bytes=0\\n$");
        QTest::newRow("bad argument") << QStringList{QStringLiteral("--ttl"), QStringLiteral("x"),
                                                     QStringLiteral("192.0.2.1")}
                                      << 2 << QStringLiteral("^$");
    }
    void echoTool() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, pattern);
        QProcess tool;
        tool.start(QStringLiteral(LINKVIGIL_ECHO_TOOL), arguments);
        QVERIFY(tool.waitForFinished(10000));
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        QCOMPARE(tool.exitCode(), exitCode);
        QVERIFY2(QRegularExpression(pattern).match(out).hasMatch(), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestEchoNetns)
#include "TestEchoNetns.moc"
