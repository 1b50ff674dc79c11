// The route window: the path's hops as a table with their names looked up
// in the background, the notes on hops that limit their answers and on
// where loss starts, and a hop over time with its route changes marked.

#include "SyntheticHistory.h"
#include "TraceProbes.h"
#include "history/HopSeries.h"
#include "history/THistoryForm.h"
#include "ping/ReverseLookup.h"
#include "route/RouteModel.h"
#include "route/TRouteForm.h"

#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QTest>

namespace {

using tracetest::address;
using tracetest::probe;

// Lookups that answer when the test says so.
struct FakeNames : IReverseLookup {
    Done done;
    QList<IpAddress> asked;
    void setDone(Done d) override { done = std::move(d); }
    void lookUp(const IpAddress& a) override { asked << a; }
};

// Route changes of one host at hop 2, on top of a made-up history.
struct HistoryWithChanges : SyntheticHistory {
    using SyntheticHistory::SyntheticHistory;
    QList<RouteChange> changes;
    QList<RouteChange> routeChanges(const QString& host, qint64, qint64) override {
        return host == QStringLiteral("far.example") ? changes : QList<RouteChange>{};
    }
};

// Four hops, ten rounds: hop 2 balances over two routers and answers only
// half its probes while hop 3 answers all (it limits its answers); hop 3
// never answers; the host at hop 4 loses a fifth from hop 3 on.
PathSnapshot fourHops() {
    std::vector<HopRecord> hops(5);
    for (int round = 0; round < 10; ++round) {
        hops[0].take(probe(1, "10.81.1.2", 80));
        hops[1].take(probe(2, round % 2 ? nullptr : round % 4 ? "10.81.2.2" : "10.81.5.2", 400));
        hops[2].take(probe(3, nullptr, 0));
        hops[3].take(probe(4, round % 5 == 0 ? nullptr : "10.81.4.2", 1200));
    }
    return PathSnapshot::of(address("10.81.4.2"), 10, 4, hops, 4);
}

} // namespace

class TestRouteWindow : public QObject {
    Q_OBJECT

    static QString cell(const RouteModel& m, int row, int column) { return m.index(row, column).data().toString(); }

private slots:
    void hopsAsATable() {
        FakeNames names;
        TRouteForm form(nullptr, names, nullptr);
        form.open(QString(), QStringLiteral("far.example"), true);
        form.showPath(fourHops());
        const RouteModel& m = *form.model();
        // Hop 2's two routers each on a row, the silent hop 3 as "*".
        QCOMPARE(m.rowCount(), 5);
        QCOMPARE(cell(m, 1, RouteModel::Hop), "2");
        QCOMPARE(cell(m, 2, RouteModel::Hop), "2");
        QCOMPARE(cell(m, 2, RouteModel::Loss), "");
        QCOMPARE(cell(m, 3, RouteModel::Address), "*");
        QCOMPARE(cell(m, 3, RouteModel::Loss), "100.0%");
        QCOMPARE(cell(m, 4, RouteModel::Loss), "20.0%");
        QCOMPARE(cell(m, 4, RouteModel::Sent), "10");
        QCOMPARE(cell(m, 0, RouteModel::Mean), "0.080");
        QCOMPARE(cell(m, 4, RouteModel::Worst), "1.200");
        QCOMPARE(cell(m, 1, RouteModel::Note), "limits its answers");
        QCOMPARE(cell(m, 3, RouteModel::Note), "limits its answers");
        QVERIFY(form.lbLoss->text().contains("loss starts at hop 4 (10.81.4.2)"));
        // Each address is asked for once; its name shows when it comes.
        QCOMPARE(cell(m, 0, RouteModel::Name), "");
        form.showPath(fourHops());
        QCOMPARE(names.asked.count(address("10.81.1.2")), 1);
        names.done(address("10.81.1.2"), QStringLiteral("gw.lan"));
        QCOMPARE(cell(m, 0, RouteModel::Name), "gw.lan");
        names.done(address("10.81.2.2"), QString()); // no name
        QCOMPARE(cell(m, 1, RouteModel::Name), "");
    }

    // The path's end is chosen at first, and the user's choice stays as
    // rounds come; the hop's series is shown with its route changes.
    void aHopOverTime() {
        FakeNames names;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        HistoryWithChanges history(
            {SyntheticHistory::host(history::hopSeries("far.example", 2), "10.81.4.2", now - 3'600'000, now)});
        history.changes = {{2, address("10.81.2.2"), address("10.81.5.2"), now - 600'000},
                           {3, address("10.81.3.2"), address("10.81.6.2"), now - 60'000}};
        TRouteForm form(nullptr, names, nullptr);
        form.setSource(&history);
        form.open(QString(), QStringLiteral("far.example"), true);
        form.showPath(fourHops());
        QCOMPARE(form.shownHop(), 4);
        QCOMPARE(form.hopHistory->shownHost(), history::hopSeries("far.example", 4));
        form.tvHops->setCurrentIndex(form.model()->index(2, 0));
        QCOMPARE(form.shownHop(), 2);
        QCOMPARE(form.hopHistory->shownHost(), "far.example#2");
        QVERIFY(form.lbHop->text().startsWith("Hop 2 (10.81.5.2)")); // the one that answered most
        form.showPath(fourHops());
        QCOMPARE(form.shownHop(), 2);
        form.resize(900, 640);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The mark of hop 2's change is drawn across its plot. The fetches
        // share a busy machine with the other tests (the History window's
        // tests allow them as long).
        QTRY_VERIFY_WITH_TIMEOUT(form.hopHistory->fetchesDone(), 20000);
        const QImage shot = form.hopHistory->grab().toImage();
        int marked = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                marked += shot.pixelColor(x, y) == QColor(0x7b, 0x3f, 0xa0);
        QVERIFY2(marked > 20, qPrintable(QString::number(marked)));
    }

    // The History window lists the hosts, not the hops of their paths.
    void hopsAreNoHostsOfTheHistoryWindow() {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        SyntheticHistory history({SyntheticHistory::host("far.example", "10.81.4.2", now - 60'000, now),
                                  SyntheticHistory::host("far.example#2", "10.81.4.2", now - 60'000, now)});
        THistoryForm form(nullptr, &history, nullptr);
        form.setWatchedHost("far.example");
        QTRY_VERIFY(form.fetchesDone());
        QTRY_COMPARE(form.cbHost->count(), 1);
        QCOMPARE(form.cbHost->itemData(0).toString(), "far.example");
    }

    void untracedOrWithoutHost() {
        FakeNames names;
        TRouteForm form(nullptr, names, nullptr);
        QCOMPARE(form.lbPath->text(), "No host is watched.");
        form.open(QString(), QStringLiteral("far.example"), false);
        QVERIFY(form.lbPath->text().contains("Settings / Logs"));
        form.showPath(fourHops());
        QVERIFY(form.lbPath->text().startsWith("Path to far.example (10.81.4.2): 4 hops"));
        // Another host: the old path goes.
        form.open(QString(), QStringLiteral("near.example"), true);
        QCOMPARE(form.model()->rowCount(), 0);
        QCOMPARE(form.shownHop(), 0);
    }
};

QTEST_MAIN(TestRouteWindow)
#include "TestRouteWindow.moc"
