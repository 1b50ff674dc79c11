// The route, gateway and link the kernel reports for hosts in the private
// test network of netns-run.sh, and the cause an outage is put down to, as
// the client's link loses its carrier or goes down.

#include "ledger/LedgerRow.h"
#include "ledger/RouteProbe.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>
#include <optional>

namespace {

// Runs `ip args`, with `input` on its standard input: its output, or
// nothing when it failed.
std::optional<QByteArray> ip(const QStringList& args, const QByteArray& input = {}) {
    QProcess tool;
    tool.start("ip", args);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

} // namespace

class TestRouteNetns : public QObject {
    Q_OBJECT

    NetlinkRouteSource source;

    RouteInfo lookup(const QString& host) {
        return source.lookup(IpAddress::parse(host.toStdString()).value_or(IpAddress{}));
    }
    static QString text(const IpAddress& a) { return QString::fromStdString(a.text()); }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("LINKVIGIL_NETNS"))
            QSKIP("SKIPPED LOUDLY: this test must run inside tests/netns/netns-run.sh (root, network namespaces)");
    }
    // Whatever a test did to the links is undone, whatever its outcome.
    void cleanup() {
        QTRY_VERIFY_WITH_TIMEOUT(lookup("192.0.2.1").linkUp && lookup("192.0.2.1").gateway.valid(), 5000);
    }

    // Each kind of route in the client, and the cause while the gateway has
    // not been heard from yet.
    void routes_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("path"); // gateway and interface
        QTest::addColumn<QString>("cause");
        QTest::newRow("behind the router") << "192.0.2.1" << 0 << "198.51.100.254 c0" << QString();
        QTest::newRow("the router") << "198.51.100.254" << 0 << "direct c0" << cause::LocalHostSilent;
        // lo's operational state is "unknown", which counts as up.
        QTest::newRow("own address") << "198.51.100.1" << 0 << "direct lo" << cause::LocalHostSilent;
        QTest::newRow("no route") << "198.19.9.9" << ENETUNREACH << "" << cause::Offline;
        QTest::newRow("unreachable route") << "198.19.1.1" << EHOSTUNREACH << "" << cause::Offline;
        QTest::newRow("prohibit route") << "198.19.2.1" << EACCES << "" << QString();
        QTest::newRow("blackhole route") << "198.19.3.1" << EINVAL << "" << QString();
        QTest::newRow("IPv6 behind the router") << "2001:db8::1" << 0 << "2001:db8:51::fe c0" << QString();
        QTest::newRow("IPv6 router") << "2001:db8:51::fe" << 0 << "direct c0" << cause::LocalHostSilent;
        QTest::newRow("IPv6 no route") << "2001:db8:9999::1" << ENETUNREACH << "" << cause::Offline;
        QTest::newRow("IPv6 unreachable route") << "2001:db8:ff01::1" << EHOSTUNREACH << "" << cause::Offline;
        QTest::newRow("IPv6 prohibit route") << "2001:db8:ff02::1" << EACCES << "" << QString();
    }
    void routes() {
        QFETCH(QString, host);
        QFETCH(int, error);
        QFETCH(QString, path);
        QFETCH(QString, cause);
        const RouteInfo r = lookup(host);
        QCOMPARE(r.error, error);
        QCOMPARE(r.route, error == 0);
        QCOMPARE(r.linkUp, error == 0);
        const QString gateway = r.gateway.valid() ? text(r.gateway) : QStringLiteral("direct");
        QCOMPARE(r.route ? gateway + ' ' + r.interface : QString(), path);
        QCOMPARE(text(r.source), r.route ? (host.contains(':') ? "2001:db8:51::1" : "198.51.100.1") : "");
        QCOMPARE(diagnoseCause(r, std::nullopt), cause);
        if (r.gateway.valid()) { // its own echoes tell the local network from what lies beyond
            QCOMPARE(diagnoseCause(r, false), cause::LocalNetwork);
            QCOMPARE(diagnoseCause(r, true), cause::BeyondGateway);
        }
    }

    // The router's end of the link down takes the client's carrier: the
    // routes stay, marked linkdown, on a link that is not up. The client's
    // own link down takes every route through it, and bringing it up again
    // restores only the local network's, so the routes are saved and put back.
    void linkTrouble_data() {
        QTest::addColumn<QStringList>("link");
        QTest::addColumn<int>("error");
        const QString router = qEnvironmentVariable("LINKVIGIL_NETNS_ROUTER");
        QTest::newRow("carrier lost") << QStringList{"-n", router, "link", "set", "rc"} << 0;
        QTest::newRow("link down") << QStringList{"link", "set", "c0"} << ENETUNREACH;
    }
    void linkTrouble() {
        QFETCH(QStringList, link);
        QFETCH(int, error);
        const std::optional<QByteArray> routes = ip({"-4", "route", "show"});
        QVERIFY(routes);
        auto restore = qScopeGuard([&] {
            ip(link + QStringList{"up"});
            ip({"-force", "-batch", "-"}, "route replace " + routes->trimmed().replace('\n', "\nroute replace "));
        });
        QVERIFY(ip(link + QStringList{"down"}));
        for (const char* host : {"192.0.2.1", "198.51.100.254"}) {
            const RouteInfo r = lookup(host);
            QCOMPARE(r.error, error);
            QCOMPARE(r.route, error == 0);
            QVERIFY(!r.linkUp);
            QCOMPARE(r.interface, error == 0 ? "c0" : "");
            QCOMPARE(diagnoseCause(r, true), cause::Offline);
        }
    }

    // Lookups in a row on the one socket each get their own answer, in
    // microseconds.
    void manyLookupsQuicklyApart() {
        const RouteInfo routed = lookup("192.0.2.1");
        const RouteInfo unrouted = lookup("198.19.9.9");
        constexpr int kLookups = 2000;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < kLookups; ++i)
            if (lookup(i % 2 ? "198.19.9.9" : "192.0.2.1") != (i % 2 ? unrouted : routed))
                QFAIL(qPrintable(QString("lookup %1 got another's answer").arg(i)));
        const double micros = double(clock.nsecsElapsed()) / 1000.0 / kLookups;
        qInfo("%.1f us per lookup", micros);
        QVERIFY2(micros < 1000, qPrintable(QString::number(micros)));
    }
};

QTEST_GUILESS_MAIN(TestRouteNetns)
#include "TestRouteNetns.moc"
