#include "HistoryTestKit.h"
#include "SyntheticHistory.h"

#include "history/HistoryStore.h"
#include "report/Format.h"
#include "report/Report.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace historytest;

// The report's echo page from a History.db beside the ledger: the period's
// figures, the worst clock hours across the night the clocks go back
// (run with TZ=Europe/Berlin), a period without echoes, one without answers,
// and round trips estimated where the echoes are no longer kept.
class TestReportEchoes : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString host = QStringLiteral("example.test");
    // 00:00 CEST on 25 October 2026; six hours on, 04:00 CET comes to an end.
    const QDateTime start = QDateTime(QDate(2026, 10, 24), QTime(22, 0), QTimeZone::utc());
    const QDateTime end = start.addSecs(6 * 3600);

    static QString pdfText(const QString& pdf) {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (tool.isEmpty())
            return {};
        QProcess process;
        process.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        return process.waitForFinished(30000) ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
    }
    QString render(const report::Source& source, const char* name) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QString error;
        if (!report::writePdf(path, source, &error))
            return QStringLiteral("failed: ") + error;
        return pdfText(path);
    }
    static std::int64_t quantile(std::vector<std::int64_t> v, double q) {
        std::sort(v.begin(), v.end());
        const double at = q * double(v.size() - 1);
        const auto i = std::size_t(at);
        return std::llround(double(v[i]) + (at - double(i)) * double(v[std::min(i + 1, v.size() - 1)] - v[i]));
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // An echo every 10 s for six clock hours, 02:00 twice. Lost: a third of
    // 02:00 CET, a sixth of 02:00 CEST, one in 36 of 00:00 and of 03:00
    // (the slower), none of 01:00 and 04:00 (the slower).
    void figuresAndWorstHoursOverTheClocksGoingBack() {
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("store"))));
        const QString ledger = dir.filePath(QStringLiteral("store/Outages.csv"));
        const std::array<int, 6> baseMs{10, 11, 12, 13, 20, 15};
        const std::array<int, 6> lostEvery{36, 0, 6, 3, 36, 0};
        std::vector<std::int64_t> trips;
        std::vector<std::int64_t> worstTrips; // of 02:00 CET
        {
            Clock clock;
            clock.set(end.addSecs(60));
            HistoryStore store(report::historyPathFor(ledger), clock);
            for (int i = 0; i < 6 * 360; ++i) {
                const int hour = i / 360;
                const int k = i % 360;
                const QDateTime sent = start.addSecs(i * 10).toLocalTime();
                if (lostEvery[hour] && k % lostEvery[hour] == 0) {
                    store.add(timedOut(host, sent));
                } else {
                    trips.push_back(baseMs[hour] * 1000 + (k % 20) * 100);
                    store.add(answered(host, sent, trips.back()));
                    if (hour == 3)
                        worstTrips.push_back(trips.back());
                }
            }
            QVERIFY(store.sync());
            store.close();
        }
        const report::Source source = report::gather(ledger, host, start, end, end.addSecs(60));
        const report::EchoFigures& f = source.echoes;
        QCOMPARE(f.echoes, 2160);
        QCOMPARE(f.lost, 200);
        QVERIFY(!f.estimated);
        QCOMPARE(f.medianUs, quantile(trips, 0.5));
        QCOMPARE(f.p95Us, quantile(trips, 0.95));
        QCOMPARE(f.hours.size(), 6);
        QCOMPARE(f.spacingMs, 10'000); // right across the clocks going back
        QList<qint64> order;
        for (const report::EchoHour& h : f.worstHours)
            order.append((h.fromMs - start.toMSecsSinceEpoch()) / 3'600'000);
        QCOMPARE(order, (QList<qint64>{3, 2, 4, 0, 5}));
        QCOMPARE(f.worstHours[0].lost, 120);
        QCOMPARE(f.worstHours[0].medianUs, quantile(worstTrips, 0.5));
        QCOMPARE(f.worstHours[0].p95Us, quantile(worstTrips, 0.95));

        const QString text = render(source, "store.pdf");
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: the text of the PDF is not checked");
        for (const QString& expected :
             {QStringLiteral("Echoes sent"), QStringLiteral("2160"), QStringLiteral("9.259 %"),
              report::roundTripText(f.medianUs), report::roundTripText(f.p95Us),
              QStringLiteral("Europe/Berlin, UTC+02:00; UTC+01:00 from 2026-10-25 02:00:00 +01:00"),
              QStringLiteral("2026-10-25 02:00–03:00 (UTC+01:00)"),
              QStringLiteral("2026-10-25 02:00–03:00 (UTC+02:00)"), QStringLiteral("Round trips and losses"),
              QStringLiteral("Worst hours"), QStringLiteral("every 10000 ms, as the echoes are spaced")})
            QVERIFY2(text.contains(expected), qPrintable(expected));
        // The interval and time-out the caller knows are named instead.
        report::Source probed = source;
        probed.intervalMs = 10'000;
        probed.timeoutMs = 900;
        QVERIFY(render(probed, "probed.pdf").contains(QStringLiteral("every 10000 ms, answers awaited 900 ms")));
        QVERIFY(!text.contains(QStringLiteral("No echoes of this host")));
        QVERIFY(!text.contains(QStringLiteral("about")));

        // A later day of the same history holds none.
        const report::Source later = report::gather(ledger, host, start.addDays(2), start.addDays(3), start.addDays(3));
        QVERIFY(!later.echoes.any());
        QVERIFY(
            render(later, "later.pdf").contains(QStringLiteral("No echoes of this host are kept for this period.")));
    }

    void noHistoryAndNoAnswers() {
        const report::Source none =
            report::gather(dir.filePath(QStringLiteral("Outages.csv")), host, start, end, end.addSecs(60));
        QVERIFY(!none.echoes.any());
        const QString noneText = render(none, "none.pdf");
        QVERIFY(noneText.isEmpty() || (noneText.contains(QStringLiteral("No echoes of this host are kept")) &&
                                       !noneText.contains(QStringLiteral("Worst hours"))));

        // Every echo lost: the rate is whole and no round trip is given.
        const qint64 from = start.toMSecsSinceEpoch();
        SyntheticHistory dark({SyntheticHistory::host(host, QStringLiteral("192.0.2.1"), from, from + 3'600'000)
                                   .blackhole(from, from + 3'600'000)});
        report::Source source = none;
        source.to = source.from.addSecs(3600);
        source.echoes = report::echoFigures(dark, host, from, from + 3'600'000);
        QCOMPARE(source.echoes.lost, source.echoes.echoes);
        QCOMPARE(source.echoes.medianUs, -1);
        QCOMPARE(source.echoes.worstHours.size(), 1);
        const QString text = render(source, "dark.pdf");
        QVERIFY(text.isEmpty() ||
                (text.contains(QStringLiteral("100.000 %")) && text.contains(QStringLiteral("no answers"))));
    }

    // Echoes before `keptFromMs` are gone, their summaries not.
    void roundTripsEstimatedFromSummaries() {
        struct Pruned : SyntheticHistory {
            using SyntheticHistory::SyntheticHistory;
            qint64 keptFromMs = 0;
            void forEachEcho(const QString& h, qint64 fromMs, qint64 toMs,
                             const std::function<bool(const EchoSample&)>& take) override {
                SyntheticHistory::forEachEcho(h, std::max(fromMs, keptFromMs), toMs, take);
            }
        };
        const qint64 from = start.toMSecsSinceEpoch();
        const qint64 to = end.toMSecsSinceEpoch();
        Pruned history({SyntheticHistory::host(host, QStringLiteral("192.0.2.1"), from, to)});
        const report::EchoFigures exact = report::echoFigures(history, host, from, to);
        QVERIFY(!exact.estimated);
        history.keptFromMs = from + 3 * 3'600'000 + 1'800'000;
        const report::EchoFigures f = report::echoFigures(history, host, from, to);
        QVERIFY(f.estimated);
        QVERIFY(f.estimateNote.contains(QStringLiteral("no longer kept")));
        QCOMPARE(f.echoes, exact.echoes);
        QCOMPARE(f.lost, exact.lost);
        // The hour the kept echoes begin in reads its summary; those after, its echoes.
        for (int i = 0; i < 6; ++i)
            QCOMPARE(f.hours[i].estimated, i <= 3);
        QVERIFY(qAbs(f.medianUs - exact.medianUs) < exact.medianUs / 50);
        QVERIFY2(qAbs(f.p95Us - exact.p95Us) < exact.p95Us / 10, qPrintable(QString::number(f.p95Us)));
        // Too many echoes to read one by one: all from the summaries.
        const report::EchoFigures many = report::echoFigures(history, host, from, to, 64, 1000);
        QVERIFY(many.estimateNote.contains(QStringLiteral("too many")));
        QCOMPARE(many.columns.size(), 64);
    }
};

QTEST_MAIN(TestReportEchoes)
#include "TestReportEchoes.moc"
