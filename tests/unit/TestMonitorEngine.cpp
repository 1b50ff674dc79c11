#include "FakeClock.h"
#include "FakeEcho.h"
#include "FakeResolver.h"
#include "RecordingSound.h"
#include "ScriptedMessageBoxes.h"
#include "engine/MonitorEngine.h"
#include "engine/TTimer.h"
#include "icmp/AddressText.h"
#include "ledger/HostState.h"
#include "ledger/LedgerFile.h"
#include "ledger/RouteProbe.h"
#include "ping/TPing.h"
#include "settings/MonitorProfile.h"
#include "settings/TIniFile.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

namespace {

// An echo channel whose outcome the test hands over when it likes, as the
// shared socket does from the event loop.
class FakeChannel : public IAsyncEcho {
public:
    void start(const EchoRequest&, Done done) override { pending = std::move(done); }
    void cancel() override { pending = nullptr; }
    void complete(const EchoResult& result) {
        Done done = std::move(pending);
        pending = nullptr;
        done(result);
    }
    Done pending;
};

const std::uint32_t kHost = inet::parse(QStringLiteral("192.0.2.1"));

struct FakeStopwatch : IStopwatch {
    Moment now() const override { return at; }
    void pass(int ms) {
        at.monotonicMs += ms;
        at.boottimeMs += ms;
        at.wall = at.wall.addMSecs(ms);
    }
    Moment at{5000, 9000, QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::OffsetFromUTC, 0)};
};

// No route anywhere: the computer is offline.
struct NoRoutes : IRouteSource {
    RouteInfo lookup(const IpAddress&) override {
        RouteInfo none;
        none.error = ENETUNREACH;
        return none;
    }
};

} // namespace

// The monitor engine on its own, without any window: the probe cycle over an
// asynchronous channel, alerts as signals, the watcher's quiet retry of a
// host that cannot be found, options used at the next reply, the profile.
class TestMonitorEngine : public QObject {
    Q_OBJECT

    FakeClock clock;
    RecordingSound sound;
    FakeChannel* channel = nullptr;
    FakeLookup* lookup = nullptr;
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();

    std::unique_ptr<MonitorEngine> make(IMessageBoxes* boxes = nullptr, IStopwatch* stopwatch = nullptr,
                                        IRouteSource* routes = nullptr, const QString& logDirectory = QString()) {
        EngineServices s;
        s.stopwatch = stopwatch;
        s.routes = routes;
        s.logDirectory = logDirectory;
        s.clock = &clock;
        s.sound = &sound;
        s.boxes = boxes;
        s.makePing = [this](QObject* owner) {
            auto c = std::make_unique<FakeChannel>();
            channel = c.get();
            auto l = std::make_unique<FakeLookup>();
            lookup = l.get();
            return new TPing(owner, std::make_unique<TICMP>(std::move(c), resolver), std::move(l));
        };
        return std::make_unique<MonitorEngine>(s);
    }

private slots:
    void init() { sound.played.clear(); }

    void replyArrivesAfterTheTickAndWaitingTicksStepTheChart() {
        auto e = make();
        QSignalSpy waiting(e.get(), &MonitorEngine::chartWaitingStep);
        QSignalSpy replied(e.get(), &MonitorEngine::chartReplyStep);
        QSignalSpy finished(e.get(), &MonitorEngine::echoDone);
        e->Host = QStringLiteral("192.0.2.1");
        e->StartButtonClick();
        e->TimerTimer(); // resolves the dotted address at once
        QCOMPARE(int(e->MonitorState), int(Resolved));
        e->TimerTimer(); // sends
        QCOMPARE(int(e->MonitorState), int(Waiting));
        QVERIFY(channel->pending);
        e->TimerTimer();
        e->TimerTimer();
        QCOMPARE(waiting.size(), 2);
        EchoResult r;
        r.replies = 1;
        r.reply = FakeEcho::answered(kHost, 7, 56).reply;
        r.roundTripNanos = 7'123'000;
        channel->complete(r);
        QCOMPARE(int(e->MonitorState), int(Resolved));
        QCOMPARE(replied.size(), 1);
        QCOMPARE(replied[0][0].toInt(), 0); // from column 0 ...
        QCOMPARE(replied[0][1].toInt(), 2); // ... over both waiting ticks
        QCOMPARE(e->ChartColumn, 3);
        QCOMPARE(e->WaitTicks, 0);
        // The echo's one value: its host as typed, where it went, the round
        // trip in microseconds and the reply's TTL.
        const EchoSample echo = finished[0][0].value<EchoSample>();
        QCOMPARE(echo.host, QStringLiteral("192.0.2.1"));
        QCOMPARE(QString::fromStdString(echo.address.text()), QStringLiteral("192.0.2.1"));
        QCOMPARE(echo.roundTripMicros, 7'123);
        QCOMPARE(echo.roundTripMs(), 7u);
        QCOMPARE(echo.ttl, 64);
        QVERIFY(echo.answered());
    }

    void alertsAreSignalsAndTheRepeatEndsWhenConfirmed() {
        auto e = make();
        QSignalSpy changed(e.get(), &MonitorEngine::connectionChanged);
        QSignalSpy warned(e.get(), &MonitorEngine::warningRaised);
        MonitorOptions o = e->Options();
        o.RepeatWarn = true;
        o.RepeatIntervalSeconds = 3;
        e->SetOptions(o);
        e->Host = QStringLiteral("192.0.2.1");
        e->StartButtonClick();
        e->TimerTimer();
        for (int i = 0; i < 15; ++i) {
            e->TimerTimer();
            channel->complete(EchoResult{0, 11010, {}, -1});
        }
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toBool(), false);
        QCOMPARE(warned.size(), 1);
        QCOMPARE(sound.played, QStringList{QStringLiteral("Carbrake.wav")});
        QVERIFY(e->tmRepeatFail->Enabled());
        QCOMPARE(e->tmRepeatFail->Interval(), 3000);
        e->ConfirmWarning();
        QVERIFY(!e->tmRepeatFail->Enabled());
    }

    void withoutBoxesAMissingHostIsLookedUpAgainAndReportedOnce() {
        auto e = make(nullptr);
        QSignalSpy failed(e.get(), &MonitorEngine::lookupFailed);
        e->Host = QStringLiteral("gone.test");
        e->StartButtonClick();
        for (int i = 0; i < 3; ++i) {
            e->TimerTimer();
            lookup->complete(lookup->last().id, 11001);
            QTRY_COMPARE(int(e->MonitorState), int(LookupFailed));
        }
        QCOMPARE(lookup->started.size(), std::size_t(3));
        QCOMPARE(failed.size(), 1);
        e->TimerTimer();
        lookup->complete(lookup->last().id, 0, kHost);
        QTRY_COMPARE(int(e->MonitorState), int(Resolved));
        // A new run of failures is reported again.
        e->cbConnectToExit();
        lookup->complete(lookup->last().id, 11001);
        QTRY_COMPARE(failed.size(), 2);
    }

    void cancelledEchoEndsWithoutAReplyStep() {
        auto e = make();
        QSignalSpy replied(e.get(), &MonitorEngine::chartReplyStep);
        e->Host = QStringLiteral("192.0.2.1");
        e->StartButtonClick();
        e->TimerTimer();
        e->TimerTimer();
        e->Ping->CancelEcho();
        QVERIFY(!channel->pending);
        QCOMPARE(replied.size(), 0);
    }

    // The ledger as the engine keeps it on disk: made at Start, the outage in
    // progress beside it, the row with its cause at the next reply, and an
    // outage a killed program left behind completed at the next start.
    void ledgerOnDisk() {
        QTemporaryDir dir;
        FakeStopwatch clocks;
        NoRoutes routes;
        const QString ledger = dir.filePath(QStringLiteral("Outages.csv"));
        const QString open = HostState(ledger, QStringLiteral("192.0.2.1")).openPath();
        const auto lose = [&](MonitorEngine& e, int count) {
            for (int i = 0; i < count; ++i) {
                e.TimerTimer();
                clocks.pass(500);
                channel->complete(EchoResult{0, 11010, {}, -1});
                clocks.pass(500);
            }
        };
        {
            auto e = make(nullptr, &clocks, &routes, dir.path() + u'/');
            e->LogFileName = QStringLiteral("Connect.log");
            e->Host = QStringLiteral("192.0.2.1");
            e->StartButtonClick();
            QCOMPARE(LedgerFile::read(ledger).size(), 0);
            QVERIFY(QFileInfo::exists(ledger));
            e->TimerTimer(); // resolves
            lose(*e, 2);
            QVERIFY(QFileInfo::exists(open));
            e->TimerTimer();
            EchoResult r;
            r.replies = 1;
            channel->complete(r);
            const QList<LedgerRow> rows = LedgerFile::read(ledger);
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0].cause, QStringLiteral("This computer is offline"));
            QCOMPARE(rows[0].echoesLost, 2);
            QVERIFY(!QFileInfo::exists(open));
            lose(*e, 3);
        } // killed: no Stop, the outage stays open on disk
        clocks.pass(120'000);
        auto again = make(nullptr, &clocks, &routes, dir.path() + u'/');
        again->LogFileName = QStringLiteral("Connect.log");
        again->Host = QStringLiteral("192.0.2.1");
        again->StartButtonClick();
        QList<LedgerRow> rows = LedgerFile::read(ledger);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1].note, QStringLiteral("end unknown: Linkvigil was stopped"));
        QCOMPARE(rows[1].echoesLost, 3);
        // The two minutes it did not run are a gap, not part of the outage.
        QCOMPARE(rows[2].kind, LedgerRow::Kind::Gap);
        QCOMPARE(rows[2].note, QStringLiteral("Linkvigil was not running"));
        QVERIFY(rows[2].durationMs >= 120'000);

        // Another host typed during an outage: the outage ends at its first
        // echo, saying so, and the first host's watch ends there.
        again->TimerTimer(); // resolves
        lose(*again, 2);
        // Text being typed is no host yet: the echoes still go to the one
        // looked up, and are its.
        again->Host = QStringLiteral("192.0.2.");
        lose(*again, 1);
        QCOMPARE(LedgerFile::read(ledger).size(), 3);
        QVERIFY(!HostState(ledger, QStringLiteral("192.0.2.")).readStamp().valid());
        again->Host = QStringLiteral("192.0.2.2");
        again->cbConnectToExit();
        again->TimerTimer(); // the new host's first echo
        rows = LedgerFile::read(ledger);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[3].host, QStringLiteral("192.0.2.1"));
        QCOMPARE(rows[3].note, QStringLiteral("ended: host changed"));
        QCOMPARE(HostState(ledger, QStringLiteral("192.0.2.1")).readStamp().state, HostState::Watching::Switched);
        // Stop leaves the new host's stamp as stopped, with the moment.
        clocks.pass(500);
        channel->complete(EchoResult{0, 11010, {}, -1});
        again->StopButtonClick();
        const HostState::Stamp stopped = HostState(ledger, QStringLiteral("192.0.2.2")).readStamp();
        QCOMPARE(stopped.state, HostState::Watching::Stopped);
        QCOMPARE(stopped.last, clocks.now().wall);
    }

    void profileComesBackThroughTheEngine() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Linkvigil.ini"));
        {
            TIniFile ini(file);
            ini.WriteString(QStringLiteral("Metrics"), QStringLiteral("Listen"), QStringLiteral("127.0.0.1:9420"));
            ini.WriteString(QStringLiteral("Logging"), QStringLiteral("LogfileLimitKb"), QStringLiteral("zz"));
        }
        auto e = make();
        const MonitorProfile loaded = MonitorProfile::Load(TIniFile(file), QStringLiteral("x.log"), u'.');
        QCOMPARE(loaded.MetricsListen, QStringLiteral("127.0.0.1:9420"));
        QVERIFY(!e->ApplyProfile(loaded).isEmpty()); // the limit is no number
        QCOMPARE(e->LogLimitBytes, 30 * 1024);
        QCOMPARE(e->Host, QStringLiteral("www.kernel.org"));
        MonitorProfile changed = e->Profile();
        changed.Interval = 2500;
        changed.Options.FailFile = QStringLiteral("Bell.wav");
        {
            TIniFile ini(file);
            ini.BeginUpdate();
            changed.Save(ini, u'.');
            ini.Commit();
        }
        const MonitorProfile again = MonitorProfile::Load(TIniFile(file), QString(), u'.');
        QCOMPARE(again.Interval, 2500);
        QCOMPARE(again.Options.FailFile, QStringLiteral("Bell.wav"));
        QCOMPARE(again.LogFile, QStringLiteral("x.log"));
        // The hand-set metrics address survives a save.
        QCOMPARE(again.MetricsListen, QStringLiteral("127.0.0.1:9420"));
    }
};

Q_DECLARE_METATYPE(EchoResult)
Q_DECLARE_METATYPE(EchoSample)

QTEST_GUILESS_MAIN(TestMonitorEngine)
#include "TestMonitorEngine.moc"
