// The history's figures: bytes on disk per echo over a synthetic month of
// one echo a second (one host, realistic round trips, some loss and a few
// outages) and how long buckets() takes on it at spans of an hour, a day
// and 30 days, and over a synthetic 400 days of summaries at a year; the
// engine thread's add() and flush(), the writer thread's commit and the CPU
// per stored echo at 1, 1000 and 10,000 hosts of an echo a second.
//
// Usage: linkvigil-bench-history-store [--quick] [FOLDER]
//   FOLDER  where the stores are made (default: a temporary folder; use a
//           folder on the disk the history will live on)
//   --quick shorter runs (a week, two minutes, 60 days); for a smoke run
//   --stores only the month and the year, kept in FOLDER/month and
//           FOLDER/year for the window's benchmark (linkvigil-bench-history --store)

#include "clock/Stopwatch.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr qint64 kDayMs = 86'400'000;

struct Clock : IStopwatch {
    Moment now() const override { return at; }
    Moment at;
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double wallMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double percentile(std::vector<double> values, double q) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(q * double(values.size())))];
}

// One host's echoes as a link gives them: a round trip with a daily rhythm
// and lognormal noise, the odd loss, an outage every few days where
// everything times out or the gateway says the network is unreachable.
class Link {
public:
    explicit Link(quint32 seed, const IpAddress& address) : m_random(seed), m_address(address) {}

    EchoSample next(const QString& host, const QDateTime& sent) {
        EchoSample e;
        e.host = host;
        e.address = m_address;
        e.sent.wall = sent;
        const qint64 minute = sent.toMSecsSinceEpoch() / 60'000;
        if (minute >= m_outageEnd && m_random.bounded(500'000) == 0)
            m_outageEnd = minute + 2 + m_random.bounded(20); // a few a month, 2 to 20 minutes
        if (minute < m_outageEnd) {
            if (m_random.bounded(4) == 0) {
                e.outcome = EchoSample::Outcome::Error;
                e.status = 11003; // destination net unreachable, from the gateway
                e.from = *IpAddress::parse("192.168.1.1");
            }
            return e;
        }
        if (m_random.bounded(200) == 0)
            return e; // lost
        const double hour = double(sent.time().hour()) + sent.time().minute() / 60.0;
        const double base = 11'000 + 4'000 * (1 + std::sin((hour - 15) * M_PI / 12));
        const double noise = std::exp(0.25 * gauss());
        e.outcome = EchoSample::Outcome::Answered;
        e.status = 0;
        e.roundTripMicros = static_cast<std::int64_t>(base * noise);
        e.ttl = 57;
        e.from = m_address;
        return e;
    }

private:
    double gauss() {
        const double u = std::max(m_random.generateDouble(), 1e-12);
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * m_random.generateDouble());
    }

    QRandomGenerator m_random;
    IpAddress m_address;
    qint64 m_outageEnd = 0;
};

QDateTime startWall() {
    return QDateTime(QDate(2026, 1, 5), QTime(0, 0), QTimeZone(3600));
}

qint64 fileBytes(const QString& path) {
    qint64 size = 0;
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        size += QFileInfo(path + suffix).size();
    return size;
}

void printTables(const QString& path, qint64 echoes) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, sum(pgsize) FROM dbstat GROUP BY name ORDER BY 2 DESC", -1, &st,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW)
            std::printf("      %-16s %10lld bytes  %6.2f per echo\n", sqlite3_column_text(st, 0),
                        static_cast<long long>(sqlite3_column_int64(st, 1)),
                        double(sqlite3_column_int64(st, 1)) / double(echoes));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// buckets() at one span, from random places in [fromMs, toMs).
void timeBuckets(HistoryReader& reader, const QString& host, const char* name, qint64 spanMs, qint64 fromMs,
                 qint64 toMs, int calls = 40) {
    QRandomGenerator random(11);
    std::vector<double> times;
    qint64 echoes = 0;
    for (int i = 0; i < calls; ++i) {
        const qint64 start =
            fromMs + qint64(random.generateDouble() * double(std::max<qint64>(0, toMs - fromMs - spanMs)));
        const auto begun = std::chrono::steady_clock::now();
        const QList<HistoryBucket> b = reader.buckets(host, start, start + spanMs, 1000);
        times.push_back(wallMs(begun));
        for (const HistoryBucket& x : b)
            echoes += x.echoes;
    }
    std::printf("    buckets(%-4s, 1000 columns): p50 %7.2f ms  p95 %7.2f ms  (%lld echoes a call)\n", name,
                percentile(times, 0.5), percentile(times, 0.95), static_cast<long long>(echoes / calls));
}

void month(const QString& folder, int days) {
    const QString path = folder + QStringLiteral("/month/History.db");
    QDir().mkpath(QFileInfo(path).path());
    Clock clock;
    clock.at.wall = startWall();
    const QString host = QStringLiteral("gateway.example");
    Link link(1, *IpAddress::parse("203.0.113.10"));
    qint64 echoes = 0;
    const double cpu = cpuSeconds();
    {
        HistoryStore store(path, clock);
        for (qint64 second = 0; second < days * 86'400LL; ++second) {
            store.add(link.next(host, clock.at.wall.addMSecs(second % 7)));
            ++echoes;
            clock.at.wall = clock.at.wall.addMSecs(1000);
            if (second % 60 == 59) // a commit a minute: the month is made faster, its blocks are the same
                store.sync();
        }
    }
    const double cpuPerEcho = (cpuSeconds() - cpu) / double(echoes) * 1e6;
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_close(db);
    std::printf("\n%d days of one echo a second, one host (%lld echoes):\n", days, static_cast<long long>(echoes));
    std::printf("    on disk: %lld bytes, %.2f bytes per echo (summaries and indexes included)\n",
                static_cast<long long>(fileBytes(path)), double(fileBytes(path)) / double(echoes));
    printTables(path, echoes);
    std::printf("    CPU making it (a commit a minute): %.2f us per echo\n", cpuPerEcho);

    HistoryReader reader(path);
    const qint64 from = startWall().toMSecsSinceEpoch();
    const qint64 to = from + days * kDayMs;
    timeBuckets(reader, host, "1 h", 3'600'000, from, to);
    timeBuckets(reader, host, "24 h", kDayMs, from, to);
    timeBuckets(reader, host, QByteArray::number(days).append(" d").constData(), days * kDayMs, from, to, 20);
    const auto begun = std::chrono::steady_clock::now();
    qint64 listed = 0;
    reader.forEachEcho(host, from, to, [&listed](const EchoSample&) { return ++listed, true; });
    std::printf("    forEachEcho over all of it: %.0f ms (%lld echoes)\n", wallMs(begun),
                static_cast<long long>(listed));
}

// `hosts` hosts, one echo each a second, a flush a second, as the engine
// does; then the writer thread is waited for, to time its commit.
void engine(const QString& folder, int hosts, int seconds) {
    const QString path = folder + QStringLiteral("/hosts%1/History.db").arg(hosts);
    QDir().mkpath(QFileInfo(path).path());
    Clock clock;
    clock.at.wall = startWall();
    std::vector<Link> links;
    QStringList names;
    for (int i = 0; i < hosts; ++i) {
        links.emplace_back(quint32(100 + i),
                           *IpAddress::parse(QStringLiteral("10.%1.%2.1").arg(i / 250).arg(i % 250).toStdString()));
        names << QStringLiteral("host-%1.example").arg(i);
    }
    std::vector<EchoSample> batch(static_cast<std::size_t>(hosts));
    HistoryStore store(path, clock);
    std::vector<double> adds;
    std::vector<double> flushes;
    std::vector<double> commits;
    double making = 0; // the echoes' own making, not the history's
    const double cpu = cpuSeconds();
    for (int second = 0; second < seconds; ++second) {
        const double made = threadCpuSeconds();
        for (int i = 0; i < hosts; ++i)
            batch[static_cast<std::size_t>(i)] =
                links[static_cast<std::size_t>(i)].next(names[i], clock.at.wall.addMSecs(i % 1000));
        making += threadCpuSeconds() - made;
        auto begun = std::chrono::steady_clock::now();
        for (const EchoSample& e : batch)
            store.add(e);
        adds.push_back(wallMs(begun));
        clock.at.wall = clock.at.wall.addMSecs(1000);
        begun = std::chrono::steady_clock::now();
        store.flush();
        flushes.push_back(wallMs(begun));
        begun = std::chrono::steady_clock::now();
        store.sync();
        commits.push_back(wallMs(begun));
    }
    const double perEcho = (cpuSeconds() - cpu - making) / (double(hosts) * seconds) * 1e6;
    // The first second files every host: once, when the watcher starts.
    const double first = commits.front();
    commits.erase(commits.begin());
    std::printf("\n%d hosts, one echo a second each, a flush a second, %d s (slots closing from 5 min 15 s on):\n",
                hosts, seconds);
    std::printf("    engine thread: add() of a second's echoes p50 %.2f ms, max %.2f ms; flush() p50 %.3f ms, "
                "max %.3f ms\n",
                percentile(adds, 0.5), *std::max_element(adds.begin(), adds.end()), percentile(flushes, 0.5),
                *std::max_element(flushes.begin(), flushes.end()));
    std::printf("    writer thread, a second's commit: p50 %.2f ms  p99 %.2f ms  max %.2f ms  (the first, filing "
                "every host: %.1f ms)\n",
                percentile(commits, 0.5), percentile(commits, 0.99), *std::max_element(commits.begin(), commits.end()),
                first);
    std::printf("    CPU, both threads: %.2f us per stored echo = %.2f %% of a core at %d echoes a second\n", perEcho,
                perEcho * hosts / 1e4, hosts);
    std::printf("    the file and its log: %.1f MB\n", double(fileBytes(path)) / 1e6);
}

// 400 days of summaries (an echo every 15 s, the echoes themselves kept 35
// days), read a year at a time.
void year(const QString& folder, int days) {
    const QString path = folder + QStringLiteral("/year/History.db");
    QDir().mkpath(QFileInfo(path).path());
    Clock clock;
    clock.at.wall = startWall();
    const QString host = QStringLiteral("gateway.example");
    Link link(2, *IpAddress::parse("203.0.113.10"));
    {
        HistoryStore store(path, clock);
        for (qint64 tick = 0; tick < days * 86'400LL / 15; ++tick) {
            store.add(link.next(host, clock.at.wall));
            clock.at.wall = clock.at.wall.addMSecs(15'000);
            if (tick % 40 == 39)
                store.sync();
        }
    }
    std::printf("\n%d days of summaries (an echo every 15 s, echoes kept 35 days): %.1f MB\n", days,
                double(fileBytes(path)) / 1e6);
    HistoryReader reader(path);
    const qint64 to = startWall().toMSecsSinceEpoch() + days * kDayMs;
    timeBuckets(reader, host, "1 y", 365 * kDayMs, to - 366 * kDayMs, to);
    timeBuckets(reader, host, "30 d", 30 * kDayMs, to - 366 * kDayMs, to);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool quick = args.removeAll(QStringLiteral("--quick")) > 0;
    const bool storesOnly = args.removeAll(QStringLiteral("--stores")) > 0;
    QTemporaryDir temporary;
    const QString folder = args.isEmpty() ? temporary.path() : args.first();
    std::printf("History benchmark in %s\n(run: linkvigil-bench-history-store [--quick] [FOLDER]; "
                "build: cmake --build BUILD --target linkvigil-bench-history-store)\n",
                qPrintable(folder));
    month(folder, quick ? 7 : 30);
    if (!storesOnly) {
        engine(folder, 1, quick ? 600 : 3600);
        engine(folder, 1000, quick ? 120 : 660);
        engine(folder, 10000, quick ? 60 : 660);
    }
    year(folder, quick ? 60 : 400);
    return 0;
}
