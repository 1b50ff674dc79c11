// Benchmark: the history window over a made-up year of one echo a second
// (31.5 million echoes, with a blackhole, a gap and outages of each cause).
// For views of 1 h, 24 h, 30 d and 1 y it pans in small steps and prints
// the 50th and 95th percentile of the time one redraw of the plot takes,
// then the window's resident memory. With --shots FOLDER it saves the
// window at each span there. With --store FILE it reads a real History.db
// instead (its first host, up to its newest echo), as the window does: e.g.
// the month or the year that `linkvigil-bench-history-store --stores FOLDER`
// leaves in FOLDER. Then, for each view, it leaves the window live for five
// seconds on a clock that runs, and prints its reads of the history a
// second and the share of a core the program used.

#include "SlowHistory.h"
#include "SyntheticHistory.h"
#include "TApplication.h"
#include "history/HistoryReader.h"
#include "history/THistoryChart.h"
#include "history/THistoryForm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr qint64 kMinute = 60'000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kNow = 1'796'904'000'000; // 2026-12-10 12:00 UTC

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double percentile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[std::size_t(q * double(values.size() - 1) + 0.5)];
}

LedgerRow row(LedgerRow::Kind kind, qint64 from, qint64 to, const QString& cause) {
    LedgerRow r;
    r.kind = kind;
    r.start = QDateTime::fromMSecsSinceEpoch(from);
    r.end = QDateTime::fromMSecsSinceEpoch(to);
    r.durationMs = to - from;
    r.host = QStringLiteral("router.lan");
    r.cause = cause;
    return r;
}

} // namespace

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const auto option = [&args](const char* name) {
        const qsizetype at = args.indexOf(QString::fromLatin1(name));
        return at > 0 ? args.value(at + 1) : QString();
    };
    const QString shots = option("--shots");
    const QString storePath = option("--store");

    const qint64 hole = kNow - 3 * kHour;
    SyntheticHistory::Host host =
        SyntheticHistory::host(QStringLiteral("router.lan"), QStringLiteral("192.0.2.1"), kNow - 365 * kDay, kNow);
    host.blackhole(hole, hole + 10 * kMinute).gap(kNow - 3 * kDay, kNow - 3 * kDay + 6 * kHour);
    QList<LedgerRow> rows{row(LedgerRow::Kind::Outage, hole, hole + 10 * kMinute, cause::BeyondGateway),
                          row(LedgerRow::Kind::Gap, kNow - 3 * kDay, kNow - 3 * kDay + 6 * kHour, QString())};
    // A short outage of each cause on the days before, for the picture.
    const QList<QString> causes{cause::Offline, cause::LocalNetwork, cause::Refused, cause::LocalHostSilent,
                                cause::AfterWakeUp};
    for (qsizetype i = 0; i < causes.size(); ++i) {
        const qint64 from = kNow - (5 + 4 * i) * kDay + 7 * kHour;
        host.blackhole(from, from + 40 * kMinute);
        rows.append(row(LedgerRow::Kind::Outage, from, from + 40 * kMinute, causes[i]));
    }
    SyntheticHistory synthetic({host});
    std::unique_ptr<HistoryReader> reader;
    IHistorySource* history = &synthetic;
    QString shown = QStringLiteral("router.lan");
    qint64 now = kNow;
    QElapsedTimer timer;
    timer.start();
    if (!storePath.isEmpty()) {
        reader = std::make_unique<HistoryReader>(storePath);
        const QList<HistoryHost> hosts = reader->hosts();
        if (hosts.isEmpty()) {
            std::fprintf(stderr, "%s holds no history\n", qPrintable(storePath));
            return 1;
        }
        history = reader.get();
        shown = hosts.first().host;
        now = hosts.first().lastMs;
        rows.clear();
        std::printf("history %s: %s, %.1f days\n", qPrintable(storePath), qPrintable(shown),
                    double(hosts.first().lastMs - hosts.first().firstMs) / kDay);
    } else {
        history->buckets(shown, kNow - 365 * kDay, kNow, 1000);
        std::printf("synthetic history: one year, one echo a second; its minutes summed in %.1f s\n",
                    timer.elapsed() / 1000.0);
    }
    const long before = residentKiB();

    // Counts the reads; with no delay.
    SlowHistory counted(*history, 0);
    QElapsedTimer running; // the clock runs while valid
    THistoryForm form(nullptr, &counted, nullptr);
    form.setClock(
        [now, &running] { return QDateTime::fromMSecsSinceEpoch(now + (running.isValid() ? running.elapsed() : 0)); });
    form.setWatchedHost(shown);
    form.setOutages(rows);
    form.resize(1000, 480);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    THistoryChart* chart = form.chart;
    std::printf("plot: %d columns at a pixel ratio of %.1f\n", chart->plot().columns(), chart->devicePixelRatioF());

    const auto settle = [&] {
        QElapsedTimer waited;
        waited.start();
        while (!form.fetchesDone() && waited.elapsed() < 60'000)
            QTest::qWait(5);
        return waited.elapsed();
    };
    const QList<std::pair<const char*, qint64>> spans{
        {"1 h", kHour}, {"24 h", kDay}, {"30 d", 30 * kDay}, {"1 y", 365 * kDay}};
    std::printf("%-5s %10s %12s %12s %12s\n", "view", "first (ms)", "p50 (ms)", "p95 (ms)", "max (ms)");
    for (const auto& [name, span] : spans) {
        chart->showRange(now - span, now);
        const qint64 first = settle();
        std::vector<double> redraws;
        for (int i = 0; i < 200; ++i) {
            // Back and forth over a tenth of the span, through the cache,
            // its fetches running meanwhile.
            chart->panBy((i / 20) % 2 ? span / 200 : -span / 200);
            QElapsedTimer one;
            one.start();
            chart->repaint();
            redraws.push_back(one.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
        }
        std::printf("%-5s %10lld %12.2f %12.2f %12.2f\n", name, first, percentile(redraws, 0.5),
                    percentile(redraws, 0.95), *std::max_element(redraws.begin(), redraws.end()));
        if (!shots.isEmpty()) {
            chart->showRange(now - span, now);
            settle();
            form.grab().save(
                QDir(shots).filePath(QStringLiteral("history-%1.png").arg(QString::fromLatin1(name).remove(u' '))));
        }
    }
    if (!shots.isEmpty() && storePath.isEmpty()) {
        chart->showRange(hole - 40 * kMinute, hole + 50 * kMinute);
        settle();
        QTest::mouseMove(chart, QPoint(qRound(chart->xOf(hole - 20 * kMinute)), chart->height() / 2));
        form.grab().save(QDir(shots).filePath(QStringLiteral("history-blackhole.png")));
    }
    const auto cpuSeconds = [] {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    running.start();
    std::printf("%-5s %14s %10s\n", "live", "reads per s", "% of core");
    for (const auto& [name, span] : spans) {
        if (!chart->view().live())
            form.btnLive->click();
        const qint64 at = now + running.elapsed();
        chart->showRange(at - span, at);
        settle();
        const int reads = counted.bucketCalls;
        const double cpu = cpuSeconds();
        QElapsedTimer watched;
        watched.start();
        QTest::qWait(5000);
        const double seconds = watched.elapsed() / 1000.0;
        std::printf("%-5s %14.1f %10.1f\n", name, (counted.bucketCalls - reads) / seconds,
                    100 * (cpuSeconds() - cpu) / seconds);
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("resident memory: %ld KiB before the window, %ld KiB with it (+%ld KiB); peak %ld KiB\n", before,
                residentKiB(), residentKiB() - before, usage.ru_maxrss);
    return 0;
}
