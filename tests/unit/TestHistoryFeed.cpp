// The echoes of the window's engine reach History.db beside its log, and
// the History window opens on the watched host.

#include "MonitorFixture.h"
#include "TestMain.h"
#include "history/HistoryFeed.h"
#include "history/HistoryReader.h"
#include "history/HistoryShelf.h"
#include "history/THistoryForm.h"
#include "ping/ReverseLookup.h"
#include "route/RouteModel.h"
#include "route/TRouteForm.h"

#include <QLabel>

#include <QSignalSpy>
#include <QTest>

namespace {

struct WallClock : IStopwatch {
    Moment now() const override {
        Moment at;
        at.wall = QDateTime::currentDateTime();
        return at;
    }
};

struct Kept {
    int echoes = 0;
    int lost = 0;
    QList<std::int64_t> roundTrips;
};

Kept keptIn(const QString& path, const QString& host) {
    Kept kept;
    HistoryReader reader(path);
    reader.forEachEcho(host, 0, std::numeric_limits<qint64>::max(), [&](const EchoSample& e) {
        ++kept.echoes;
        if (e.outcome == EchoSample::Outcome::Answered)
            kept.roundTrips << e.roundTripMicros;
        else
            ++kept.lost;
        return true;
    });
    return kept;
}

} // namespace

class TestHistoryFeed : public QObject {
    Q_OBJECT
    std::unique_ptr<MonitorFixture> f;
    WallClock wall;

    void echo(const EchoResult& result) {
        f->echo->answers.push_back(result);
        f->clock.advanceSeconds(1);
        f->main->Engine->TimerTimer();
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->create();
    }
    void cleanup() {
        HistoryForm = nullptr;
        RouteForm = nullptr;
        f.reset();
    }

    // Every echo of the host as typed, in the folder of the log wherever it
    // is moved; the folder's hosts share one store; only new echoes tell a
    // window to read again.
    void keepsEveryEchoBesideTheLog() {
        HistoryShelf shelf(wall);
        QSignalSpy flushed(&shelf, &HistoryShelf::flushed);
        history::follow(*f->main->Engine, shelf, {});
        shelf.flush();
        QCOMPARE(flushed.count(), 0);
        f->startWatching(QStringLiteral("192.0.2.7"));
        f->main->Engine->TimerTimer();
        echo(FakeEcho::answered(IpAddress::parse("192.0.2.7")->v4(), 12, 56));
        echo(EchoResult{0, 11010, {}});
        echo(EchoResult{0, 11003, {}});
        shelf.flush();
        QCOMPARE(flushed.count(), 1);
        const QString other = f->folder.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(other));
        f->main->Engine->LogFileName = other + QStringLiteral("/Connect.log");
        echo(FakeEcho::answered(IpAddress::parse("192.0.2.7")->v4(), 3, 56));
        QCOMPARE(shelf.stores(), 2);
        shelf.close();

        const Kept here = keptIn(f->folder.filePath(QStringLiteral("History.db")), QStringLiteral("192.0.2.7"));
        QVERIFY2(here.echoes >= 3, qPrintable(QString::number(here.echoes)));
        QCOMPARE(here.lost, here.echoes - 1);
        QCOMPARE(here.roundTrips.value(0), std::int64_t{12'000});
        const Kept there = keptIn(other + QStringLiteral("/History.db"), QStringLiteral("192.0.2.7"));
        QCOMPARE(there.echoes, 1);
        QCOMPARE(there.roundTrips.value(0), std::int64_t{3'000});
    }

    // The link and the tray's command open the window on the watched host,
    // with the history of the log's folder.
    void linkOpensTheWatchedHost() {
        THistoryForm form(nullptr, nullptr, &f->fileDialogs);
        HistoryForm = &form;
        f->startWatching(QStringLiteral("192.0.2.7"));
        f->main->HistoryCommand();
        QVERIFY(form.isVisible());
        QCOMPARE(form.shownHost(), QStringLiteral("192.0.2.7"));
        QTRY_VERIFY(form.fetchesDone());
        form.hide();
        f->main->cbConnectTo->setEditText(QStringLiteral("192.0.2.8"));
        f->main->cbConnectToExit();
        f->main->lbHistoryClick();
        QCOMPARE(form.shownHost(), QStringLiteral("192.0.2.8"));
        QVERIFY(form.isVisible());
    }

    // The Route link opens its window on the watched host, which then shows
    // each round of the engine's trace.
    void routeLinkFollowsTheTrace() {
        struct NoNames : IReverseLookup {
            void setDone(Done) override {}
            void lookUp(const IpAddress&) override {}
        } names;
        TRouteForm form(nullptr, names, &f->fileDialogs);
        RouteForm = &form;
        ConnectRoute(f->main.get(), &form, nullptr);
        f->startWatching(QStringLiteral("192.0.2.7"));
        f->main->lbRouteClick();
        QVERIFY(form.isVisible());
        QVERIFY(form.lbPath->text().contains(QStringLiteral("not traced")));
        std::vector<HopRecord> hops(2);
        TraceProbe p;
        p.hop = 1;
        p.outcome = TraceProbe::Outcome::Hop;
        p.from = *IpAddress::parse("198.51.100.254");
        p.roundTripMicros = 300;
        hops[0].take(p);
        emit f->main->Engine->pathRound(PathSnapshot::of(*IpAddress::parse("192.0.2.7"), 1, 0, hops, 2));
        QCOMPARE(form.model()->rowCount(), 2);
        QCOMPARE(form.model()->index(0, RouteModel::Address).data().toString(), QStringLiteral("198.51.100.254"));
        QCOMPARE(form.shownHop(), 2); // the farthest probed, while the host has not answered
    }
};

LINKVIGIL_TEST_MAIN(TestHistoryFeed)
#include "TestHistoryFeed.moc"
