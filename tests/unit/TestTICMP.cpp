#include "FakeEcho.h"
#include "FakeResolver.h"
#include "icmp/AddressText.h"
#include "icmp/TICMP.h"

#include <QTest>

class TestTICMP : public QObject {
    Q_OBJECT

    FakeEcho* echo = nullptr;
    std::shared_ptr<FakeResolver> resolver;
    std::unique_ptr<TICMP> icmp;
    QStringList events;

    static IpAddress v4(const char* text) { return IpAddress::fromV4(inet::parse(QString::fromLatin1(text))); }
    static IpAddress v6(const char* text) { return IpAddress::parseV6Literal(text).value_or(IpAddress{}); }

    QByteArray sentData(int i = -1) const {
        const auto& s = echo->at(i);
        return QByteArray(reinterpret_cast<const char*>(s.data.data()), qsizetype(s.data.size()));
    }

private slots:
    void init() {
        auto transport = std::make_unique<FakeEcho>();
        echo = transport.get();
        resolver = std::make_shared<FakeResolver>();
        resolver->add("host", inet::parse(QStringLiteral("192.0.2.7")));
        resolver->add("Host", inet::parse(QStringLiteral("192.0.2.8")));
        resolver->add("255.255.255.255", inet::kAddrNone);
        resolver->hosts.insert("dual", {v4("192.0.2.9"), v6("2001:db8::10"), v6("2001:db8::11")});
        resolver->hosts.insert("v6only", {v6("2001:db8::12"), v6("2001:db8::13")});
        resolver->hosts.insert("v4only", {v4("192.0.2.10")});
        icmp = std::make_unique<TICMP>(std::move(transport), resolver);
        events.clear();
        icmp->OnDisplay = [this](TICMP*, const QString& msg) { events << QStringLiteral("display:") + msg; };
        icmp->OnEchoRequest = [this](TICMP*) { events << QStringLiteral("request"); };
        icmp->OnEchoReply = [this](TICMP*, int n) { events << QStringLiteral("reply:%1").arg(n); };
    }

    void defaults() {
        QCOMPARE(icmp->Size, 56);
        QCOMPARE(icmp->Timeout, 4000);
        QCOMPARE(icmp->TTL, 64);
        QCOMPARE(icmp->Flags, 0);
        QCOMPARE(icmp->LastStatus(), 0u);
        QCOMPARE(icmp->StatusText(), QStringLiteral("No error"));
    }

    void payload_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray text = "Echo request data text of the ping requester.";
        QTest::newRow("default 56") << 56 << text + QByteArray(11, ' ');
        QTest::newRow("exactly 45") << 45 << text;
        QTest::newRow("10 cuts the text") << 10 << QByteArray("Echo reque");
        QTest::newRow("0 sends no data") << 0 << QByteArray();
        QTest::newRow("1000 pads with blanks") << 1000 << text + QByteArray(955, ' ');
    }
    void payload() {
        QFETCH(int, size);
        QFETCH(QByteArray, expected);
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        icmp->Size = size;
        icmp->SendEcho();
        QCOMPARE(sentData(), expected);
    }

    void sendsLowBytesOfTtlAndFlags() {
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        icmp->TTL = 300;
        icmp->Flags = 258;
        icmp->Timeout = 750;
        icmp->SendEcho();
        const EchoRequest& r = echo->at().request;
        QCOMPARE(r.ttl, 44);
        QCOMPARE(r.flags, 2);
        QCOMPARE(r.timeoutMs, 750);
        QCOMPARE(r.target, v4("192.0.2.1"));
    }

    void answeredEcho() {
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), 12, 56, 61));
        QCOMPARE(icmp->SendEcho(), 1);
        QCOMPARE(events, QStringList({"request", "reply:1"}));
        QCOMPARE(icmp->LastReply().RoundTripTime, 12u);
        QCOMPARE(icmp->LastReply().Options.Ttl, 61);
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("192.0.2.1"));
        QCOMPARE(icmp->StatusText(), QStringLiteral("No error"));
    }

    void timedOutEcho() {
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        echo->answers.push_back(FakeEcho::answered(1, 5, 56));
        icmp->SendEcho();
        QCOMPARE(icmp->SendEcho(), 0);
        QCOMPARE(events.last(), QStringLiteral("reply:0"));
        QCOMPARE(icmp->LastStatus(), 11010u);
        QCOMPARE(icmp->StatusText(), QStringLiteral("Request timed out"));
        // The record of the lost echo replaces the earlier one.
        QCOMPARE(icmp->LastReply().RoundTripTime, 0u);
    }

    void dottedAddressNeedsNoLookup() {
        icmp->SetAddress(QStringLiteral("10.1"));
        icmp->SendEcho();
        QVERIFY(resolver->lookups.empty());
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("10.0.0.1"));
    }

    void nameIsResolvedOncePerChange() {
        icmp->SetAddress(QStringLiteral("host"));
        icmp->SendEcho();
        icmp->SetAddress(QStringLiteral("host")); // the same text keeps the resolution
        icmp->SendEcho();
        QCOMPARE(resolver->lookups.size(), size_t(1));
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("192.0.2.7"));

        icmp->SetAddress(QStringLiteral("Host")); // case counts
        icmp->SendEcho();
        QCOMPARE(resolver->lookups.size(), size_t(2));
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("192.0.2.8"));
        QCOMPARE(echo->at().request.target, v4("192.0.2.8"));
    }

    // IPv6 literals need no lookup and are shown in their canonical form.
    void ipv6Literals_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("resolved");
        QTest::newRow("short") << "2001:db8::1"
                               << "2001:db8::1";
        QTest::newRow("long, upper case") << "2001:0DB8:0:0:0:0:0:1"
                                          << "2001:db8::1";
        QTest::newRow("bracketed") << "[2001:db8::a:0:0:1]"
                                   << "2001:db8::a:0:0:1";
        QTest::newRow("two runs of zeros") << "2001:db8:0:0:1:0:0:1"
                                           << "2001:db8::1:0:0:1";
    }
    void ipv6Literals() {
        QFETCH(QString, address);
        QFETCH(QString, resolved);
        icmp->SetAddress(address);
        icmp->SendEcho();
        QVERIFY(resolver->lookups.empty());
        QCOMPARE(icmp->ResolvedIP(), resolved);
        QVERIFY(icmp->ResolvedAddress().isV6());
        QCOMPARE(echo->at().request.target, icmp->ResolvedAddress());
    }

    // A name with both families stands for its first IPv4 address unless
    // IPv6 is preferred; one with IPv6 only for its first IPv6 one. A
    // change of the preference resolves again at the next echo.
    void preferIPv6ChoosesTheFamily() {
        icmp->SetAddress(QStringLiteral("dual"));
        icmp->SendEcho();
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("192.0.2.9"));
        icmp->SetPreferIPv6(false); // unchanged: no new lookup
        icmp->SendEcho();
        QCOMPARE(resolver->lookups.size(), size_t(1));

        icmp->SetPreferIPv6(true);
        icmp->SendEcho();
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("2001:db8::10"));
        QCOMPARE(echo->at().request.target, v6("2001:db8::10"));
        QCOMPARE(resolver->preferences, std::vector<bool>({false, true}));

        icmp->SetPreferIPv6(false);
        icmp->SetAddress(QStringLiteral("v6only"));
        icmp->SendEcho();
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("2001:db8::12"));
        icmp->SetPreferIPv6(true);
        icmp->SetAddress(QStringLiteral("v4only"));
        icmp->SendEcho();
        QCOMPARE(echo->at().request.target, v4("192.0.2.10"));
    }

    // IPv6 carries 20 payload bytes more than IPv4; the sender of a reply
    // or error is kept apart from the IPv4-only record.
    void ipv6PayloadLimitAndSender() {
        icmp->SetAddress(QStringLiteral("2001:db8::1"));
        icmp->Size = 65528;
        QCOMPARE(icmp->SendEcho(), 0);
        QCOMPARE(icmp->LastStatus(), 11009u);
        QVERIFY(echo->sent.empty());
        QVERIFY(!icmp->LastReplyFrom().valid());
        icmp->Size = 65527;
        echo->answers.push_back(FakeEcho::answered(v6("2001:db8::1"), 3, 56, 63));
        QCOMPARE(icmp->SendEcho(), 1);
        QCOMPARE(echo->at().data.size(), size_t(65527));
        QCOMPARE(icmp->LastReplyFrom(), v6("2001:db8::1"));
        QCOMPARE(icmp->LastReply().Address, 0u);
        icmp->SendEcho(); // times out
        QVERIFY(!icmp->LastReplyFrom().valid());
    }

    void unknownNameIsInvalidHost() {
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        echo->answers.push_back(FakeEcho::answered(1, 33, 56));
        icmp->SendEcho();
        events.clear();

        icmp->SetAddress(QStringLiteral("nosuch.test"));
        QCOMPARE(icmp->SendEcho(), 0);
        QCOMPARE(events, QStringList({"display:Unable to resolve nosuch.test", "display:Invalid host address"}));
        QCOMPARE(icmp->LastStatus(), 11018u);
        QCOMPARE(icmp->StatusText(), QStringLiteral("Bad Destination"));
        // Nothing was sent: the record and the resolved text stay as they were.
        QCOMPARE(echo->sent.size(), size_t(1));
        QCOMPARE(icmp->LastReply().RoundTripTime, 33u);
        QCOMPARE(icmp->ResolvedIP(), QStringLiteral("192.0.2.1"));

        // A failed resolution is tried again at the next echo.
        icmp->SendEcho();
        QCOMPARE(resolver->lookups.size(), size_t(2));
    }

    void allOnesAddressCannotBeEchoed() {
        icmp->SetAddress(QStringLiteral("255.255.255.255"));
        QCOMPARE(icmp->SendEcho(), 0);
        QCOMPARE(resolver->lookups.size(), size_t(1)); // looked up as a name
        QCOMPARE(events, QStringList({"display:Invalid host address"}));
        QCOMPARE(icmp->LastStatus(), 11018u);
        QVERIFY(echo->sent.empty());
    }

    // Values the network cannot carry end the echo without sending, but the
    // caller still hears the reply event so its cycle goes on.
    void unusableValues_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("ttl");
        QTest::addColumn<uint>("status");
        QTest::newRow("negative size") << -1 << 1000 << 64 << 11011u;
        QTest::newRow("most negative size") << INT_MIN << 1000 << 64 << 11011u;
        QTest::newRow("size above 65507") << 65508 << 1000 << 64 << 11009u;
        QTest::newRow("huge size") << INT_MAX << 1000 << 64 << 11009u;
        QTest::newRow("time-out 0") << 56 << 0 << 64 << 11010u;
        QTest::newRow("negative time-out") << 56 << -5 << 64 << 11010u;
        QTest::newRow("TTL 0") << 56 << 1000 << 0 << 11013u;
        QTest::newRow("TTL 256, low byte 0") << 56 << 1000 << 256 << 11013u;
    }
    void unusableValues() {
        QFETCH(int, size);
        QFETCH(int, timeout);
        QFETCH(int, ttl);
        QFETCH(uint, status);
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        icmp->Size = size;
        icmp->Timeout = timeout;
        icmp->TTL = ttl;
        QCOMPARE(icmp->SendEcho(), 0);
        QCOMPARE(icmp->LastStatus(), status);
        QVERIFY(echo->sent.empty());
        QCOMPARE(events, QStringList({"request", "reply:0"}));
    }

    void largestPayloadIsSent() {
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        icmp->Size = 65507;
        icmp->SendEcho();
        QCOMPARE(echo->at().data.size(), size_t(65507));
    }

    void exceptionFromReplyHandlerLeavesStoredFields() {
        icmp->SetAddress(QStringLiteral("192.0.2.1"));
        echo->answers.push_back(FakeEcho::answered(1, 9, 56));
        icmp->OnEchoReply = [](TICMP*, int) { throw std::runtime_error("handler failed"); };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, icmp->SendEcho());
        QCOMPARE(icmp->LastReply().RoundTripTime, 9u);
        QCOMPARE(icmp->LastStatus(), 0u);
    }

    void statusText_data() {
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0u << "No error";
        QTest::newRow("11001") << 11001u << "Buffer too small";
        QTest::newRow("11002") << 11002u << "Destination network unreachable";
        QTest::newRow("11005") << 11005u << "Destination port unreachable";
        QTest::newRow("11009") << 11009u << "Packet too big";
        QTest::newRow("11013") << 11013u << "TTL expired in transit";
        QTest::newRow("11018") << 11018u << "Bad Destination";
        QTest::newRow("11020") << 11020u << "Spec MTU change";
        QTest::newRow("11021") << 11021u << "MTU change";
        QTest::newRow("11050") << 11050u << "General failure";
        QTest::newRow("11255") << 11255u << "Pending";
        QTest::newRow("gap 11022") << 11022u << "ICMP error #11022";
        QTest::newRow("11099") << 11099u << "ICMP error #11099";
        QTest::newRow("unsigned") << 0xFFFFFFFFu << "ICMP error #4294967295";
    }
    void statusText() {
        QFETCH(uint, code);
        QFETCH(QString, text);
        QCOMPARE(TICMP::StatusText(code), text);
    }
};

QTEST_GUILESS_MAIN(TestTICMP)
#include "TestTICMP.moc"
