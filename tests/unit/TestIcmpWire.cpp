#include "icmp/IcmpWire.h"

#include <QTest>

#include <arpa/inet.h>
#include <cerrno>
#include <tuple>

using namespace icmpwire;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::uint32_t addr(const char* dotted) {
    return inet_addr(dotted);
}

const Bytes kData = {'E', 'c', 'h', 'o', ' ', ' '};

Expectation expectation() {
    return {addr("192.0.2.1"), 0x1234, 7, kData};
}

// An IPv4 header of `ihl` bytes from `src` to `dst` in front of `icmp`.
Bytes ipPacket(std::uint32_t src, std::uint32_t dst, const Bytes& icmp, std::size_t ihl = 20, std::uint8_t ttl = 57) {
    Bytes p(ihl, 0);
    p.reserve(ihl + icmp.size()); // else GCC 12 at -O3 warns of a false overflow below
    p[0] = static_cast<std::uint8_t>(0x40 | (ihl / 4));
    p[8] = ttl;
    p[9] = 1;
    std::memcpy(&p[12], &src, 4);
    std::memcpy(&p[16], &dst, 4);
    p.insert(p.end(), icmp.begin(), icmp.end());
    return p;
}

Bytes echoMessage(std::uint8_t type, std::uint16_t id, std::uint16_t seq, const Bytes& data) {
    Bytes m = buildEchoRequest(id, seq, data);
    m[0] = type;
    m[2] = m[3] = 0;
    writeBe16(&m[2], checksum(m));
    return m;
}

Bytes reply(std::uint16_t id = 0x1234, std::uint16_t seq = 7, const Bytes& data = kData) {
    return echoMessage(kEchoReply, id, seq, data);
}

// An ICMP error quoting our request (as sent from us to the target).
Bytes errorAbout(std::uint8_t type, std::uint8_t code, std::uint16_t seq = 7, std::uint32_t dst = addr("192.0.2.1"),
                 std::size_t quotedIcmp = 8) {
    const Bytes full = buildEchoRequest(0x1234, seq, kData);
    const Bytes request(full.begin(), full.begin() + std::ptrdiff_t(std::min(quotedIcmp, full.size())));
    Bytes inner = ipPacket(addr("198.51.100.1"), dst, request);
    Bytes m(8 + inner.size(), 0);
    m[0] = type;
    m[1] = code;
    std::copy(inner.begin(), inner.end(), m.begin() + 8);
    writeBe16(&m[2], checksum(m));
    return m;
}

// ICMPv6: addresses, messages and errors as the sockets hand them over.
v6::Address addr6(const char* text) {
    v6::Address a{};
    inet_pton(AF_INET6, text, a.data());
    return a;
}

const v6::Address kTarget6 = addr6("2001:db8::1");

v6::Expectation expectation6() {
    return {kTarget6, 0x1234, 7, kData};
}

Bytes echo6(std::uint8_t type, std::uint16_t id = 0x1234, std::uint16_t seq = 7, const Bytes& data = kData) {
    Bytes m = v6::buildEchoRequest(id, seq, data);
    m[0] = type;
    return m;
}

// An ICMPv6 error quoting our request behind its IPv6 header, as much of
// the echo as `quotedIcmp` bytes.
Bytes error6About(std::uint8_t type, std::uint8_t code, std::uint16_t seq = 7, const v6::Address& dst = kTarget6,
                  std::size_t quotedIcmp = 64, std::uint8_t nextHeader = v6::kNextHeaderIcmp) {
    const Bytes full = v6::buildEchoRequest(0x1234, seq, kData);
    Bytes m(8 + v6::kIpHeaderSize, 0);
    m[0] = type;
    m[1] = code;
    m[8] = 0x60;
    m[8 + 6] = nextHeader;
    m[8 + 7] = 64;
    const v6::Address us = addr6("2001:db8:51::1");
    std::copy(us.begin(), us.end(), m.begin() + 8 + 8);
    std::copy(dst.begin(), dst.end(), m.begin() + 8 + 24);
    m.insert(m.end(), full.begin(), full.begin() + std::ptrdiff_t(std::min(quotedIcmp, full.size())));
    return m;
}

} // namespace

class TestIcmpWire : public QObject {
    Q_OBJECT
private slots:
    void checksumFollowsRfc1071() {
        const Bytes sample = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
        QCOMPARE(checksum(sample), std::uint16_t(0x220d));
        const Bytes odd = {0x01, 0x02, 0x03}; // the last byte is padded with zero
        QCOMPARE(checksum(odd), std::uint16_t(~(0x0102 + 0x0300) & 0xFFFF));
        QCOMPARE(checksum({}), std::uint16_t(0xFFFF));
    }

    void echoRequestCarriesItsFields() {
        const Bytes m = buildEchoRequest(0xBEEF, 0x0102, kData);
        QCOMPARE(m.size(), 8 + kData.size());
        QCOMPARE(m[0], kEchoRequest);
        QCOMPARE(readBe16(&m[4]), std::uint16_t(0xBEEF));
        QCOMPARE(readBe16(&m[6]), std::uint16_t(0x0102));
        QCOMPARE(checksum(m), std::uint16_t(0));
        const Bytes odd = buildEchoRequest(1, 2, Bytes{'x'});
        QCOMPARE(checksum(odd), std::uint16_t(0));
        // ICMPv6: its own type, the checksum left to the kernel, the rest alike.
        Bytes m6 = v6::buildEchoRequest(0xBEEF, 0x0102, kData);
        QCOMPARE(m6[0], v6::kEchoRequest);
        QCOMPARE(readBe16(&m6[2]), std::uint16_t(0));
        m6[0] = kEchoRequest;
        writeBe16(&m6[2], readBe16(&m[2]));
        QCOMPARE(m6, m);
    }

    void rawReplyIsAccepted() {
        const Outcome o = parseRawPacket(ipPacket(addr("192.0.2.1"), addr("198.51.100.1"), reply()), expectation());
        QVERIFY(o.verdict == Verdict::Reply);
        QCOMPARE(o.ttl, std::uint8_t(57));
        QCOMPARE(o.dataSize, kData.size());
        QCOMPARE(o.from, addr("192.0.2.1"));
        // IP options in front of the message are skipped.
        const Outcome withOptions =
            parseRawPacket(ipPacket(addr("192.0.2.1"), addr("198.51.100.1"), reply(), 60), expectation());
        QVERIFY(withOptions.verdict == Verdict::Reply);
    }

    void rawPacketsThatAreNotOurReply_data() {
        QTest::addColumn<Bytes>("packet");
        const auto us = addr("198.51.100.1");
        const auto target = addr("192.0.2.1");
        Bytes badSum = reply();
        badSum[2] ^= 0x55;
        Bytes truncated = reply();
        truncated.resize(10);
        writeBe16(&truncated[2], 0);
        writeBe16(&truncated[2], checksum(truncated));
        Bytes longer = kData;
        longer.push_back(' ');
        Bytes changed = kData;
        changed[0] = 'e';
        QTest::newRow("spoofed source") << ipPacket(addr("192.0.2.99"), us, reply());
        QTest::newRow("wrong identifier") << ipPacket(target, us, reply(0x1235));
        QTest::newRow("wrong sequence") << ipPacket(target, us, reply(0x1234, 6));
        QTest::newRow("bad checksum") << ipPacket(target, us, badSum);
        QTest::newRow("truncated data") << ipPacket(target, us, truncated);
        QTest::newRow("longer data") << ipPacket(target, us, reply(0x1234, 7, longer));
        QTest::newRow("changed data") << ipPacket(target, us, reply(0x1234, 7, changed));
        QTest::newRow("our own request") << ipPacket(us, target, echoMessage(kEchoRequest, 0x1234, 7, kData));
        QTest::newRow("reply with code 1") << [&] {
            Bytes m = reply();
            m[1] = 1;
            m[2] = m[3] = 0;
            writeBe16(&m[2], checksum(m));
            return ipPacket(target, us, m);
        }();
        QTest::newRow("empty") << Bytes{};
        QTest::newRow("header only") << Bytes(ipPacket(target, us, {}));
        QTest::newRow("IHL 4") << [&] {
            Bytes p = ipPacket(target, us, reply());
            p[0] = 0x44;
            return p;
        }();
        QTest::newRow("IHL beyond the packet") << [&] {
            Bytes p = ipPacket(target, us, reply());
            p.resize(30);
            p[0] = 0x4F;
            return p;
        }();
        QTest::newRow("IPv6 version") << [&] {
            Bytes p = ipPacket(target, us, reply());
            p[0] = 0x65;
            return p;
        }();
        QTest::newRow("not ICMP") << [&] {
            Bytes p = ipPacket(target, us, reply());
            p[9] = 17;
            return p;
        }();
        QTest::newRow("redirect about our request") << ipPacket(addr("198.51.100.254"), us, errorAbout(kRedirect, 1));
        QTest::newRow("error about another sequence") << ipPacket(target, us, errorAbout(3, 1, 8));
        QTest::newRow("error about another target") << ipPacket(target, us, errorAbout(3, 1, 7, addr("192.0.2.2")));
        QTest::newRow("error quoting 7 bytes") << ipPacket(target, us, errorAbout(3, 1, 7, target, 7));
        QTest::newRow("error quoting no header") << [&] {
            Bytes m = {3, 1, 0, 0, 0, 0, 0, 0, 0x45, 0};
            writeBe16(&m[2], checksum(m));
            return ipPacket(target, us, m);
        }();
    }
    void rawPacketsThatAreNotOurReply() {
        QFETCH(Bytes, packet);
        QVERIFY(parseRawPacket(packet, expectation()).verdict == Verdict::Ignore);
    }

    void rawErrorAboutOurRequest() {
        const Outcome o = parseRawPacket(
            ipPacket(addr("198.51.100.254"), addr("198.51.100.1"), errorAbout(kTimeExceeded, 0)), expectation());
        QVERIFY(o.verdict == Verdict::IcmpError);
        QCOMPARE(o.type, kTimeExceeded);
        QCOMPARE(o.from, addr("198.51.100.254"));
        // Routers may quote more than 8 bytes.
        const Outcome more = parseRawPacket(
            ipPacket(addr("192.0.2.1"), addr("198.51.100.1"), errorAbout(3, 3, 7, addr("192.0.2.1"), 14)),
            expectation());
        QVERIFY(more.verdict == Verdict::IcmpError);
    }

    void pingSocketMessages() {
        const auto target = addr("192.0.2.1");
        // The kernel chose the identifier: any value passes here.
        QVERIFY(parsePingMessage(reply(0x9999), target, expectation()).verdict == Verdict::Reply);
        QVERIFY(parsePingMessage(reply(), addr("192.0.2.2"), expectation()).verdict == Verdict::Ignore);
        QVERIFY(parsePingMessage(reply(0x1234, 8), target, expectation()).verdict == Verdict::Ignore);
        QVERIFY(parsePingMessage(reply(0x1234, 7, {}), target, expectation()).verdict == Verdict::Ignore);
        QVERIFY(parsePingMessage(Bytes{0, 0, 0}, target, expectation()).verdict == Verdict::Ignore);
    }

    void pingSocketErrors() {
        const Bytes quoted = buildEchoRequest(0x4444, 7, kData);
        const Outcome o = parsePingError(3, 3, addr("192.0.2.1"), quoted, expectation());
        QVERIFY(o.verdict == Verdict::IcmpError);
        QCOMPARE(statusForIcmp(o.type, o.code), 11005u);
        const Bytes other = buildEchoRequest(0x4444, 6, kData);
        QVERIFY(parsePingError(3, 3, 0, other, expectation()).verdict == Verdict::Ignore);
        QVERIFY(parsePingError(kRedirect, 0, 0, quoted, expectation()).verdict == Verdict::Ignore);
        QVERIFY(parsePingError(3, 3, 0, {quoted.data(), 7}, expectation()).verdict == Verdict::Ignore);
    }

    void statusCodes_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<uint>("status");
        QTest::newRow("net unreachable") << 3 << 0 << 11002u;
        QTest::newRow("host unreachable") << 3 << 1 << 11003u;
        QTest::newRow("protocol unreachable") << 3 << 2 << 11004u;
        QTest::newRow("port unreachable") << 3 << 3 << 11005u;
        QTest::newRow("fragmentation needed") << 3 << 4 << 11009u;
        QTest::newRow("net unknown") << 3 << 6 << 11002u;
        QTest::newRow("host unknown") << 3 << 7 << 11003u;
        QTest::newRow("net prohibited") << 3 << 9 << 11002u;
        QTest::newRow("net for TOS") << 3 << 11 << 11002u;
        QTest::newRow("admin prohibited") << 3 << 13 << 11003u;
        QTest::newRow("TTL in transit") << 11 << 0 << 11013u;
        QTest::newRow("TTL in reassembly") << 11 << 1 << 11014u;
        QTest::newRow("parameter problem") << 12 << 0 << 11015u;
        QTest::newRow("source quench") << 4 << 0 << 11016u;
        QTest::newRow("anything else") << 40 << 0 << 11050u;
    }
    void statusCodes() {
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(uint, status);
        QCOMPARE(statusForIcmp(std::uint8_t(type), std::uint8_t(code)), status);
    }

    // Each message against both socket kinds: a raw socket checks the
    // identifier and reads errors as messages, a ping socket does neither.
    void icmp6Messages_data() {
        QTest::addColumn<Bytes>("message");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("ping");
        const int ignore = int(Verdict::Ignore), reply = int(Verdict::Reply), error = int(Verdict::IcmpError);
        const QByteArray target = "2001:db8::1", router = "2001:db8:51::fe";
        Bytes longer = kData;
        longer.push_back(' ');
        Bytes changed = kData;
        changed[0] = 'e';
        Bytes code1 = echo6(v6::kEchoReply);
        code1[1] = 1;
        QTest::newRow("our reply") << echo6(v6::kEchoReply) << target << reply << reply;
        QTest::newRow("other identifier") << echo6(v6::kEchoReply, 0x1235) << target << ignore << reply;
        QTest::newRow("spoofed source") << echo6(v6::kEchoReply) << QByteArray("2001:db8::2") << ignore << ignore;
        QTest::newRow("wrong sequence") << echo6(v6::kEchoReply, 0x1234, 6) << target << ignore << ignore;
        QTest::newRow("longer data") << echo6(v6::kEchoReply, 0x1234, 7, longer) << target << ignore << ignore;
        QTest::newRow("changed data") << echo6(v6::kEchoReply, 0x1234, 7, changed) << target << ignore << ignore;
        QTest::newRow("reply with code 1") << code1 << target << ignore << ignore;
        QTest::newRow("our own request") << echo6(v6::kEchoRequest) << target << ignore << ignore;
        QTest::newRow("IPv4 echo reply type") << echo6(kEchoReply) << target << ignore << ignore;
        QTest::newRow("seven bytes") << [] {
            Bytes m = echo6(v6::kEchoReply);
            m.resize(7);
            return m;
        }() << target << ignore << ignore;
        for (const auto& [type, code, name] :
             {std::tuple{1, 0, "no route"}, std::tuple{1, 3, "address unreachable"}, std::tuple{2, 0, "packet too big"},
              std::tuple{3, 0, "hop limit"}, std::tuple{4, 1, "parameter problem"}})
            QTest::addRow("error: %s", name)
                << error6About(std::uint8_t(type), std::uint8_t(code)) << router << error << ignore;
        QTest::newRow("redirect about ours") << error6About(v6::kRedirect, 0) << router << ignore << ignore;
        QTest::newRow("neighbour advert") << error6About(136, 0) << router << ignore << ignore;
        QTest::newRow("error about another sequence") << error6About(1, 3, 8) << router << ignore << ignore;
        QTest::newRow("error about another target")
            << error6About(1, 3, 7, addr6("2001:db8::2")) << router << ignore << ignore;
        QTest::newRow("error quoting 7 bytes of the echo")
            << error6About(1, 3, 7, kTarget6, 7) << router << ignore << ignore;
        QTest::newRow("error quoting only the IPv6 header")
            << error6About(1, 3, 7, kTarget6, 0) << router << ignore << ignore;
        QTest::newRow("error quoting an extension header")
            << error6About(1, 3, 7, kTarget6, 64, 44) << router << ignore << ignore;
        QTest::newRow("error quoting IPv4") << [] {
            Bytes m = error6About(1, 3);
            m[8] = 0x45;
            return m;
        }() << router << ignore << ignore;
    }
    void icmp6Messages() {
        QFETCH(Bytes, message);
        QFETCH(QByteArray, from);
        QFETCH(int, raw);
        QFETCH(int, ping);
        const v6::Outcome r = v6::parseRawMessage(message, addr6(from.constData()), expectation6());
        QCOMPARE(int(r.verdict), raw);
        QCOMPARE(int(v6::parsePingMessage(message, addr6(from.constData()), expectation6()).verdict), ping);
        if (r.verdict != Verdict::Ignore) {
            QVERIFY(r.from == addr6(from.constData()));
            QCOMPARE(r.type, message[0]);
        }
        if (r.verdict == Verdict::Reply)
            QCOMPARE(r.dataSize, kData.size());
    }

    void icmp6PingSocketErrors() {
        const Bytes quoted = v6::buildEchoRequest(0x4444, 7, kData);
        const v6::Address router = addr6("2001:db8:51::fe");
        const v6::Outcome o = v6::parsePingError(3, 0, router, quoted, expectation6());
        QVERIFY(o.verdict == Verdict::IcmpError);
        QVERIFY(o.from == router);
        QCOMPARE(v6::statusForIcmp(o.type, o.code), 11013u);
        const Bytes other = v6::buildEchoRequest(0x4444, 6, kData);
        QVERIFY(v6::parsePingError(1, 3, router, other, expectation6()).verdict == Verdict::Ignore);
        QVERIFY(v6::parsePingError(v6::kRedirect, 0, router, quoted, expectation6()).verdict == Verdict::Ignore);
        QVERIFY(v6::parsePingError(1, 3, router, {quoted.data(), 7}, expectation6()).verdict == Verdict::Ignore);
        // An IPv4 type number means nothing here.
        QVERIFY(v6::parsePingError(kTimeExceeded, 0, router, quoted, expectation6()).verdict == Verdict::Ignore);
    }

    void icmp6StatusCodes_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<uint>("status");
        QTest::newRow("no route") << 1 << 0 << 11002u;
        QTest::newRow("administratively prohibited") << 1 << 1 << 11003u;
        QTest::newRow("beyond scope") << 1 << 2 << 11003u;
        QTest::newRow("address unreachable") << 1 << 3 << 11003u;
        QTest::newRow("port unreachable") << 1 << 4 << 11005u;
        QTest::newRow("source address failed policy") << 1 << 5 << 11003u;
        QTest::newRow("reject route") << 1 << 6 << 11003u;
        QTest::newRow("packet too big") << 2 << 0 << 11009u;
        QTest::newRow("hop limit in transit") << 3 << 0 << 11013u;
        QTest::newRow("reassembly") << 3 << 1 << 11014u;
        QTest::newRow("parameter problem") << 4 << 2 << 11015u;
        QTest::newRow("IPv4 parameter problem number") << 12 << 0 << 11050u;
    }
    void icmp6StatusCodes() {
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(uint, status);
        QCOMPARE(v6::statusForIcmp(std::uint8_t(type), std::uint8_t(code)), status);
    }

    void localErrors() {
        QCOMPARE(statusForErrno(EMSGSIZE), 11009u);
        QCOMPARE(statusForErrno(ENETUNREACH), 11002u);
        QCOMPARE(statusForErrno(EHOSTUNREACH), 11003u);
        QCOMPARE(statusForErrno(EACCES), 11018u);
        QCOMPARE(statusForErrno(EINVAL), 11050u);
    }
};

QTEST_GUILESS_MAIN(TestIcmpWire)
#include "TestIcmpWire.moc"
