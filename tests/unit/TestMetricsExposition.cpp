#include "metrics/Exposition.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using metrics::HostMetrics;

namespace {

EchoSample reply(std::int64_t micros) {
    EchoSample echo;
    echo.outcome = EchoSample::Outcome::Answered;
    echo.status = 0;
    echo.roundTripMicros = micros;
    return echo;
}

EchoSample lost(std::uint32_t status = 11010) {
    EchoSample echo;
    echo.status = status;
    return echo;
}

TraceProbe hopProbe(int hop, const char* from, std::int64_t micros, std::int64_t atMs,
                    TraceProbe::Outcome outcome = TraceProbe::Outcome::Hop) {
    TraceProbe probe;
    probe.hop = hop;
    probe.sentMs = atMs;
    probe.outcome = from ? outcome : TraceProbe::Outcome::Lost;
    if (from)
        probe.from = *IpAddress::parse(from);
    probe.roundTripMicros = from ? micros : -1;
    return probe;
}

bool hasLine(const QByteArray& text, const QByteArray& line) {
    return ("\n" + text).count("\n" + line + "\n") == 1;
}

} // namespace

// The per-host record and its Prometheus text.
class TestMetricsExposition : public QObject {
    Q_OBJECT
private slots:
    // Four addresses at most per hop, the one silent longest making room;
    // an address not heard for an hour leaves.
    void hopAddressesStayBounded() {
        metrics::HopMetrics hops;
        const char* addresses[] = {"10.1.0.1", "10.1.0.2", "10.1.0.3", "10.1.0.4", "10.1.0.5"};
        for (int i = 0; i < 5; ++i)
            hops.record(hopProbe(3, addresses[i], 1000, i));
        const auto& responders = hops.hops()[2].responders;
        QCOMPARE(responders.size(), std::size_t(4));
        QCOMPARE(responders.front().address, QStringLiteral("10.1.0.2"));
        hops.record(hopProbe(3, "10.1.0.5", 1000, metrics::HopMetrics::ForgetAfterMs + 3));
        QCOMPARE(hops.hops()[2].responders.size(), std::size_t(2)); // .4 and .5, seen within the hour
        QCOMPARE(hops.hops()[0].requests, std::uint64_t(0));
        QCOMPARE(hops.pathHops(), 0);
    }

    // Bounds are inclusive; a loss is counted under its status's text.
    void outcomesFillCountersAndBuckets() {
        HostMetrics host(QStringLiteral("gateway"), QStringLiteral("192.0.2.1"));
        for (int i = 0; i < 7; ++i)
            host.recordRequest();
        for (const std::int64_t micros : {500LL, 501LL, 10'000'000LL, 10'000'001LL, 30'000LL})
            host.recordOutcome(reply(micros));
        host.recordOutcome(lost());
        host.recordOutcome(lost());
        host.setIndex(0.973);
        host.setUp(true);

        const QByteArray text = metrics::exposition({&host});
        const auto has = [&](const char* name, const QByteArray& rest) {
            return hasLine(text, QByteArray("linkvigil_") + name + "{host=\"gateway\",address=\"192.0.2.1\"" + rest);
        };
        QVERIFY(has("echo_requests_total", "} 7"));
        QVERIFY(has("echo_replies_total", "} 5"));
        QVERIFY(has("echo_losses_total", "} 2"));
        QVERIFY(has("echo_losses_by_status_total", ",status=\"Request timed out\"} 2"));
        const std::pair<const char*, int> cumulative[] = {{"0.0005", 1}, {"0.001", 2}, {"0.025", 2}, {"0.05", 3},
                                                          {"5", 3},      {"10", 4},    {"+Inf", 5}};
        for (const auto& [le, count] : cumulative)
            QVERIFY2(has("round_trip_seconds_bucket", ",le=\"" + QByteArray(le) + "\"} " + QByteArray::number(count)),
                     le);
        QVERIFY(has("round_trip_seconds_sum", "} 20.031002"));
        QVERIFY(has("round_trip_seconds_count", "} 5"));
        QVERIFY(has("reliability_ratio", "} 0.973"));
        QVERIFY(has("connection_up", "} 1"));
    }

    // In pieces, the text is the whole one, measured in advance; the values
    // are those of the moment the stream was made.
    void streamInPiecesIsTheWholeTextOfItsMoment() {
        std::vector<HostMetrics> hosts;
        for (int i = 0; i < 300; ++i) {
            hosts.emplace_back(QStringLiteral("host%1").arg(i), QStringLiteral("192.0.2.%1").arg(i % 250));
            hosts.back().recordOutcome(i % 3 ? reply(i * 1000) : lost());
        }
        hosts[7].recordOutage(QStringLiteral("Beyond the gateway"), 2'000);
        std::vector<const HostMetrics*> all;
        for (const HostMetrics& host : hosts)
            all.push_back(&host);
        const QByteArray whole = metrics::exposition(all);

        metrics::ExpositionStream stream(all);
        hosts[0].recordRequest();
        hosts[1].setAddress(QStringLiteral("198.51.100.1"));
        QByteArray joined;
        int pieces = 0;
        for (QByteArray piece = stream.next(4096); !piece.isEmpty(); piece = stream.next(4096), ++pieces)
            joined += piece;
        QCOMPARE(stream.size(), whole.size());
        QVERIFY(pieces > 10);
        QCOMPARE(joined, whole);
        QVERIFY(stream.next().isEmpty());
    }

    // Two hosts, one with awkward label values: HELP and TYPE once per
    // family, labels escaped, and promtool takes the whole text.
    void familiesOnceLabelsEscapedPromtoolAccepts() {
        HostMetrics plain(QStringLiteral("example.net"), QStringLiteral("198.51.100.7"));
        HostMetrics odd(QStringLiteral("a\"b\\c\nd"), QString());
        plain.recordOutcome(reply(1'000));
        odd.recordLoss(QStringLiteral("Destination host \"unreachable\""));
        plain.recordOutage(QStringLiteral("Beyond the gateway"), 5'012);
        plain.recordOutage(QStringLiteral("Beyond the gateway"), 1'000);
        QByteArray text = metrics::exposition({&plain, &odd});

        QCOMPARE(text.count("# HELP "), 9);
        QCOMPARE(text.count("# TYPE "), 9);
        QVERIFY(hasLine(text, "linkvigil_outages_total{host=\"example.net\",address=\"198.51.100.7\","
                              "cause=\"Beyond the gateway\"} 2"));
        QVERIFY(hasLine(text, "linkvigil_outage_seconds_total{host=\"example.net\",address=\"198.51.100.7\","
                              "cause=\"Beyond the gateway\"} 6.012"));
        QVERIFY(hasLine(text, "# TYPE linkvigil_round_trip_seconds histogram"));
        QVERIFY(hasLine(text, "linkvigil_echo_losses_by_status_total{host=\"a\\\"b\\\\c\\nd\",address=\"\","
                              "status=\"Destination host \\\"unreachable\\\"\"} 1"));

        // A traced host adds the path's families; untraced hosts have none.
        HostMetrics traced(QStringLiteral("far.test"), QStringLiteral("10.81.4.2"));
        traced.recordTraceProbe(hopProbe(1, "10.81.1.2", 700, 0));
        traced.recordTraceProbe(hopProbe(1, nullptr, 0, 1000));
        traced.recordTraceProbe(hopProbe(2, "10.81.4.2", 2'000, 1000, TraceProbe::Outcome::Reached));
        // A snapshot keeps the hops as they were when it was taken.
        const HostMetrics snapshot = traced;
        traced.recordTraceProbe(hopProbe(1, "10.81.1.2", 700, 2000));
        QCOMPARE(snapshot.hops()->hops()[0].requests, std::uint64_t(2));
        const QByteArray withPath = metrics::exposition({&plain, &odd, &traced});
        QCOMPARE(withPath.count("# HELP "), 13);
        QVERIFY(hasLine(withPath, "linkvigil_hop_requests_total{host=\"far.test\",hop=\"1\"} 3"));
        QVERIFY(hasLine(withPath, "linkvigil_hop_replies_total{host=\"far.test\",hop=\"1\",address=\"10.81.1.2\"} 2"));
        QVERIFY(hasLine(withPath, "linkvigil_hop_round_trip_seconds_bucket{host=\"far.test\",hop=\"2\","
                                  "address=\"10.81.4.2\",le=\"0.0025\"} 1"));
        QVERIFY(hasLine(withPath, "linkvigil_path_hops{host=\"far.test\"} 2"));
        QVERIFY(!withPath.contains("linkvigil_path_hops{host=\"example.net\""));
        text = withPath; // for promtool, the path's families too

        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (promtool.isEmpty())
            QSKIP("SKIPPED LOUDLY: promtool not installed (Debian package prometheus); CI installs it");
        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        check.write(text);
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished(30000));
        const QByteArray said = check.readAllStandardOutput() + check.readAllStandardError();
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0, said.constData());
    }
};

QTEST_GUILESS_MAIN(TestMetricsExposition)
#include "TestMetricsExposition.moc"
