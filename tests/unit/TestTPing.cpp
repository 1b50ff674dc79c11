#include "Exception.h"
#include "FakeEcho.h"
#include "FakeResolver.h"
#include "icmp/AddressText.h"
#include "icmp/GaiResolver.h"
#include "ping/TPing.h"
#include "ping/ThreadedLookup.h"

#include <QSignalSpy>
#include <QTest>

#include <thread>

class TestTPing : public QObject {
    Q_OBJECT

    FakeEcho* echo = nullptr;
    FakeLookup* lookup = nullptr;
    std::unique_ptr<TPing> ping;
    QList<int> done;   // lookup-done codes in arrival order
    QStringList order; // echo events

    void makePing() {
        auto transport = std::make_unique<FakeEcho>();
        echo = transport.get();
        auto icmp = std::make_unique<TICMP>(std::move(transport), std::make_shared<FakeResolver>());
        auto fake = std::make_unique<FakeLookup>();
        lookup = fake.get();
        ping = std::make_unique<TPing>(nullptr, std::move(icmp), std::move(fake));
        ping->OnDnsLookupDone = [this, component = ping.get()](QObject* sender, std::uint16_t error) {
            QCOMPARE(sender, component);
            done << error;
        };
    }

private slots:
    void init() {
        done.clear();
        order.clear();
        makePing();
    }
    void cleanup() { ping.reset(); }

    void forwardsEchoEventsInOrder() {
        TICMP* seenIcmp = nullptr;
        ping->OnEchoRequest = [&](QObject* s, TICMP* icmp) {
            QCOMPARE(s, ping.get());
            seenIcmp = icmp;
            order << QStringLiteral("request");
        };
        ping->OnEchoReply = [&](QObject* s, TICMP* icmp, int n) {
            QCOMPARE(s, ping.get());
            QCOMPARE(icmp, seenIcmp);
            order << QStringLiteral("reply:%1").arg(n);
        };
        ping->OnDisplay = [&](QObject*, TICMP*, const QString& m) { order << m; };
        echo->duringEcho = [&] { order << QStringLiteral("wait"); };
        echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), 7, 56));

        ping->SetAddress(QStringLiteral("192.0.2.1"));
        QCOMPARE(ping->SendEcho(), 1);
        order << QStringLiteral("returned");
        QCOMPARE(order, QStringList({"request", "wait", "reply:1", "returned"}));
        TIcmpEchoReply reply;
        ping->LastReply(reply);
        QCOMPARE(reply.RoundTripTime, 7u);
        QCOMPARE(ping->ResolvedIP(), QStringLiteral("192.0.2.1"));

        order.clear();
        ping->SetAddress(QStringLiteral("255.255.255.255"));
        QCOMPARE(ping->SendEcho(), 0);
        QCOMPARE(order, QStringList({"Unable to resolve 255.255.255.255", "Invalid host address"}));
        QCOMPARE(ping->StatusText(), QStringLiteral("Bad Destination"));
    }

    void propertiesAreNotLimited() {
        ping->SetSize(-3);
        ping->SetTimeout(0);
        ping->SetTTL(100000);
        ping->SetFlags(-1);
        QCOMPARE(ping->Size(), -3);
        QCOMPARE(ping->Timeout(), 0);
        QCOMPARE(ping->TTL(), 100000);
        QCOMPARE(ping->Flags(), -1);
        ping->SetAddress(QStringLiteral("Host"));
        QCOMPARE(ping->Address(), QStringLiteral("Host"));
    }

    void dottedTextIsAnsweredBeforeReturning() {
        ping->StartDnsLookup(QStringLiteral("192.0.2.010"));
        QCOMPARE(done, QList<int>({0}));
        QCOMPARE(ping->DnsLookupResult(), QStringLiteral("192.0.2.8")); // octal part, normal form
        QVERIFY(lookup->started.empty());
    }

    void nameIsAnsweredFromTheEventLoop() {
        ping->StartDnsLookup(QStringLiteral("echo-host.test"));
        QVERIFY(done.isEmpty());
        QVERIFY(ping->DnsLookupResult().isEmpty());
        QCOMPARE(lookup->started.size(), size_t(1));
        QCOMPARE(lookup->started[0].name, QByteArray("echo-host.test"));

        lookup->complete(lookup->started[0].id, 0, inet::parse(QStringLiteral("192.0.2.1")));
        QVERIFY(done.isEmpty()); // not before the event loop runs
        QTRY_COMPARE(done, QList<int>({0}));
        QCOMPARE(ping->DnsLookupResult(), QStringLiteral("192.0.2.1"));
        QVERIFY(!ping->LookupPending());
    }

    void failedLookupReportsItsCode() {
        ping->StartDnsLookup(QStringLiteral("192.0.2.1"));
        ping->StartDnsLookup(QStringLiteral("nosuch.test"));
        lookup->complete(lookup->started[0].id, 11001);
        QTRY_COMPARE(done, QList<int>({0, 11001}));
        QVERIFY(ping->DnsLookupResult().isEmpty());
    }

    void onlyTheLatestLookupReports() {
        ping->StartDnsLookup(QStringLiteral("first.test"));
        ping->StartDnsLookup(QStringLiteral("second.test"));
        QVERIFY(lookup->started[0].cancelled);
        lookup->complete(lookup->started[0].id, 0, 1);
        lookup->complete(lookup->started[1].id, 0, inet::parse(QStringLiteral("192.0.2.2")));
        QTRY_COMPARE(done.size(), 1);
        QTest::qWait(20);
        QCOMPARE(done, QList<int>({0}));
        QCOMPARE(ping->DnsLookupResult(), QStringLiteral("192.0.2.2"));
    }

    void dottedTextWhilePendingEndsTheLookup() {
        ping->StartDnsLookup(QStringLiteral("slow.test"));
        ping->StartDnsLookup(QStringLiteral("192.0.2.3"));
        QCOMPARE(done, QList<int>({0}));
        QVERIFY(lookup->started[0].cancelled);
        ping->AbortDnsLookup(); // nothing pending: no event
        lookup->complete(lookup->started[0].id, 0, 1);
        QTest::qWait(20);
        QCOMPARE(done, QList<int>({0}));
        QCOMPARE(ping->DnsLookupResult(), QStringLiteral("192.0.2.3"));
        ping.reset(); // nor at destruction
        QCOMPARE(done, QList<int>({0}));
    }

    // Only text that is no address at all goes to the background: the
    // all-ones address (as the classic rules read it) and almost-literals.
    void backgroundLookups_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("all ones") << "255.255.255.255";
        QTest::newRow("IPv4 in brackets") << "[192.0.2.1]";
        QTest::newRow("two double colons") << "2001:db8::1::2";
        QTest::newRow("open bracket") << "[2001:db8::1";
        QTest::newRow("unknown interface") << "fe80::1%nosuch0";
    }
    void backgroundLookups() {
        QFETCH(QString, host);
        ping->StartDnsLookup(host);
        QVERIFY(done.isEmpty());
        QCOMPARE(lookup->started.size(), size_t(1));
        QCOMPARE(lookup->started[0].name, host.toUtf8());
    }

    void ipv6LiteralIsAnsweredBeforeReturning_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("result");
        QTest::newRow("canonical") << "2001:db8::1"
                                   << "2001:db8::1";
        QTest::newRow("long form") << "2001:DB8:0000:0:0:0:0:0001"
                                   << "2001:db8::1";
        QTest::newRow("bracketed") << "[2001:db8::1]"
                                   << "2001:db8::1";
        QTest::newRow("link-local on loopback") << "fe80::1%1"
                                                << "fe80::1%lo";
        QTest::newRow("IPv4-mapped") << "::FFFF:192.0.2.1"
                                     << "192.0.2.1";
    }
    void ipv6LiteralIsAnsweredBeforeReturning() {
        QFETCH(QString, host);
        QFETCH(QString, result);
        ping->StartDnsLookup(host);
        QCOMPARE(done, QList<int>({0}));
        QCOMPARE(ping->DnsLookupResult(), result);
        QVERIFY(lookup->started.empty());
    }

    // The preference goes with each lookup; an IPv6 answer shows canonically.
    void lookupsCarryThePreference() {
        ping->StartDnsLookup(QStringLiteral("dual.test"));
        ping->SetPreferIPv6(true);
        QVERIFY(ping->PreferIPv6());
        ping->StartDnsLookup(QStringLiteral("dual.test"));
        QCOMPARE(lookup->started.size(), size_t(2));
        QVERIFY(!lookup->started[0].preferIPv6);
        QVERIFY(lookup->started[1].preferIPv6);
        lookup->complete(lookup->started[1].id, 0, *IpAddress::parse("2001:0db8::0010"));
        QTRY_COMPARE(done, QList<int>({0}));
        QCOMPARE(ping->DnsLookupResult(), QStringLiteral("2001:db8::10"));
    }

    void strayCompletionChangesNothing() {
        ping->StartDnsLookup(QStringLiteral("host.test"));
        lookup->complete(lookup->started[0].id + 7, 0, 1);
        QTest::qWait(20);
        QVERIFY(done.isEmpty());
        QVERIFY(ping->LookupPending());
    }

    void abortReportsCancelledOnlyWhenPending() {
        ping->AbortDnsLookup();
        QVERIFY(done.isEmpty());
        ping->StartDnsLookup(QStringLiteral("host.test"));
        ping->AbortDnsLookup();
        QCOMPARE(done, QList<int>({10004}));
        lookup->complete(lookup->started[0].id, 0, 1);
        QTest::qWait(20);
        QCOMPARE(done, QList<int>({10004}));
    }

    void destructionWithPendingLookupReportsCancelled() {
        ping->StartDnsLookup(QStringLiteral("host.test"));
        ping.reset();
        QCOMPARE(done, QList<int>({10004}));
    }

    void lookupThatCannotStartRaises() {
        lookup->startError = 10055;
        try {
            ping->StartDnsLookup(QStringLiteral("host.test"));
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QStringLiteral("host.test: can't start DNS lookup, error #10055"));
        }
        QVERIFY(done.isEmpty());
        QVERIFY(!ping->LookupPending());
        QVERIFY(ping->DnsLookupResult().isEmpty());
    }

    void cancelThatFailsRaises() {
        ping->StartDnsLookup(QStringLiteral("host.test"));
        lookup->cancelError = 10022;
        try {
            ping->AbortDnsLookup();
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QStringLiteral("WSACancelAsyncRequest failed, error #10022"));
        }
        QVERIFY(done.isEmpty());
        QVERIFY(ping->LookupPending());
        ping.reset(); // the destructor swallows the failure
        QVERIFY(done.isEmpty());
    }

    // The real background lookup: the system resolver on a thread of its own.
    void threadedLookupAnswersOnTheCallersThread() {
        ThreadedLookup real(std::make_shared<GaiResolver>());
        std::uint16_t code = 1;
        IpAddress address;
        Qt::HANDLE thread = nullptr;
        real.setCompletion([&](std::uint64_t, std::uint16_t e, const IpAddress& a) {
            code = e;
            address = a;
            thread = QThread::currentThreadId();
        });
        int error = 0;
        QVERIFY(real.start("localhost", false, &error) != 0);
        QTRY_COMPARE(code, std::uint16_t(0));
        QCOMPARE(address.text(), std::string("127.0.0.1"));
        QCOMPARE(thread, QThread::currentThreadId());
    }

    void threadedLookupOutlivedByItsThreadIsSafe() {
        struct SlowResolver : IHostResolver {
            LookupAnswer lookup(const QByteArray&, bool) override {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                return {0, IpAddress::fromV4(1)};
            }
        };
        bool called = false;
        {
            ThreadedLookup real(std::make_shared<SlowResolver>());
            real.setCompletion([&](std::uint64_t, std::uint16_t, const IpAddress&) { called = true; });
            int error = 0;
            real.start("slow", false, &error);
        }
        QTest::qWait(300);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestTPing)
#include "TestTPing.moc"
