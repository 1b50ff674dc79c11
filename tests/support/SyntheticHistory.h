#pragma once

#include "history/HistorySource.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <numbers>
#include <vector>

// A made-up history, the same on every run: echoes at a fixed interval whose
// round trips follow a daily rhythm (quietest at 09:00 on the host's clock,
// busiest at 21:00) with a little noise and the odd spike, a small share
// lost, and spans where everything times out (a blackhole) or nothing was
// sent at all (not watched). Buckets over more than a few days come from
// per-minute summaries, as a real store keeps them.
class SyntheticHistory : public IHistorySource {
public:
    struct Span {
        qint64 fromMs = 0;
        qint64 toMs = 0;
        bool holds(qint64 ms) const { return ms >= fromMs && ms < toMs; }
    };
    struct Host {
        QString host;
        QString address;
        qint64 firstMs = 0; // the first echo; the others follow every intervalMs before lastMs
        qint64 lastMs = 0;
        int intervalMs = 1000;
        double baseMs = 14;  // the median at the quietest hour
        double dailyMs = 6;  // added at the busiest
        double lost = 0.003; // the share lost at random, a fifth of them as errors
        QList<Span> blackholes;
        QList<Span> gaps;
        int utcOffsetS = 3600; // the clock the echoes were sent by

        Host& blackhole(qint64 fromMs, qint64 toMs) {
            blackholes.append({fromMs, toMs});
            return *this;
        }
        Host& gap(qint64 fromMs, qint64 toMs) {
            gaps.append({fromMs, toMs});
            return *this;
        }
    };
    // A host of echoes every second in [firstMs, lastMs).
    static Host host(const QString& name, const QString& address, qint64 firstMs, qint64 lastMs) {
        Host h;
        h.host = name;
        h.address = address;
        h.firstMs = firstMs;
        h.lastMs = lastMs;
        return h;
    }
    // One echo as the buckets need it.
    struct Raw {
        qint64 sentMs = 0;
        EchoSample::Outcome outcome = EchoSample::Outcome::Answered;
        std::int64_t roundTripUs = -1;
    };

    explicit SyntheticHistory(QList<Host> hosts) {
        for (Host& h : hosts)
            m_hosts.push_back(std::make_unique<Entry>(std::move(h)));
    }

    QList<HistoryHost> hosts() override {
        QList<HistoryHost> result;
        for (const auto& e : m_hosts)
            result.append({e->host.host, e->host.address, e->host.firstMs, lastEcho(e->host)});
        return result;
    }

    QList<HistoryBucket> buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) override {
        QList<HistoryBucket> result(std::max(columns, 0));
        for (int k = 0; k < columns; ++k) {
            result[k].fromMs = fromMs + (toMs - fromMs) * k / columns;
            result[k].toMs = fromMs + (toMs - fromMs) * (k + 1) / columns;
        }
        Entry* e = find(host);
        if (!e || columns <= 0 || toMs <= fromMs)
            return result;
        const auto bucketOf = [&](qint64 ms) {
            return int(std::clamp<qint64>((ms - fromMs) * columns / (toMs - fromMs), 0, columns - 1));
        };
        if ((toMs - fromMs) / e->host.intervalMs <= kRawLimit) {
            std::vector<std::vector<std::int64_t>> trips(columns);
            eachRaw(e->host, fromMs, toMs, [&](const Raw& r) {
                HistoryBucket& b = result[bucketOf(r.sentMs)];
                ++b.echoes;
                if (r.outcome != EchoSample::Outcome::Answered)
                    ++b.lost;
                else
                    trips[bucketOf(r.sentMs)].push_back(r.roundTripUs);
            });
            for (int k = 0; k < columns; ++k)
                summarise(result[k], trips[k]);
            return result;
        }
        const std::vector<Minute>& minutes = minutesOf(*e);
        std::vector<double> weights(columns, 0);
        std::vector<std::array<double, 5>> sums(columns, std::array<double, 5>{});
        const qint64 first = e->minute0;
        const qint64 from = std::max<qint64>(0, (fromMs - first * 60000 + 59999) / 60000);
        const qint64 to = std::min<qint64>(qint64(minutes.size()), (toMs - first * 60000 + 59999) / 60000);
        for (qint64 m = from; m < to; ++m) {
            const Minute& s = minutes[m];
            if (s.echoes == 0)
                continue;
            const int k = bucketOf((first + m) * 60000);
            HistoryBucket& b = result[k];
            b.echoes += s.echoes;
            b.lost += s.lost;
            const int answered = s.echoes - s.lost;
            if (answered == 0)
                continue;
            b.minUs = b.minUs < 0 ? s.q[0] : std::min<std::int64_t>(b.minUs, s.q[0]);
            b.maxUs = std::max<std::int64_t>(b.maxUs, s.q[6]);
            for (int i = 0; i < 5; ++i)
                sums[k][i] += double(s.q[i + 1]) * answered;
            weights[k] += answered;
        }
        for (int k = 0; k < columns; ++k) {
            if (weights[k] == 0)
                continue;
            HistoryBucket& b = result[k];
            std::int64_t* q[5] = {&b.p10Us, &b.p25Us, &b.medianUs, &b.p75Us, &b.p90Us};
            for (int i = 0; i < 5; ++i)
                *q[i] = std::llround(sums[k][i] / weights[k]);
        }
        return result;
    }

    void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                     const std::function<bool(const EchoSample&)>& take) override {
        Entry* e = find(host);
        if (!e)
            return;
        const IpAddress address = IpAddress::parse(e->host.address.toStdString()).value_or(IpAddress{});
        bool going = true;
        eachRaw(e->host, fromMs, toMs, [&](const Raw& r) {
            if (!going)
                return;
            EchoSample s;
            s.sent.wall = QDateTime::fromMSecsSinceEpoch(r.sentMs, Qt::OffsetFromUTC, e->host.utcOffsetS);
            s.host = e->host.host;
            s.address = address;
            s.outcome = r.outcome;
            s.status = r.outcome == EchoSample::Outcome::Answered ? 0
                       : r.outcome == EchoSample::Outcome::Error  ? 11003
                                                                  : 11010;
            s.roundTripMicros = r.roundTripUs;
            s.ttl = r.roundTripUs >= 0 ? 57 : -1;
            s.from = r.roundTripUs >= 0 ? address : IpAddress{};
            going = take(s);
        });
    }

    // The echo sent at `sentMs` (a multiple of the interval after firstMs).
    static Raw echoAt(const Host& h, qint64 sentMs) {
        Raw r;
        r.sentMs = sentMs;
        std::uint64_t seed = mix(std::uint64_t(sentMs) ^ nameSeed(h.host));
        const auto uniform = [&seed] {
            seed = mix(seed);
            return double(seed >> 11) / double(std::uint64_t{1} << 53);
        };
        const double drop = uniform();
        if (std::any_of(h.blackholes.cbegin(), h.blackholes.cend(), [&](const Span& s) { return s.holds(sentMs); }) ||
            drop < h.lost) {
            r.outcome = drop < h.lost / 5 ? EchoSample::Outcome::Error : EchoSample::Outcome::TimedOut;
            return r;
        }
        const double day = double((sentMs + qint64{h.utcOffsetS} * 1000) % 86'400'000) / 86'400'000;
        const double median = h.baseMs + h.dailyMs * (1 + std::cos(2 * std::numbers::pi * (day - 0.875))) / 2;
        const double spread = (uniform() + uniform() + uniform() - 1.5) * 0.25;
        const double spike = uniform() < 0.01 ? uniform() * 4 * median : 0;
        r.roundTripUs = std::max<std::int64_t>(50, std::llround((median * (1 + spread) + spike) * 1000));
        return r;
    }

    // Calls `each` with every echo of `h` in [fromMs, toMs), oldest first.
    template <typename Each> static void eachRaw(const Host& h, qint64 fromMs, qint64 toMs, Each each) {
        const qint64 end = std::min(toMs, h.lastMs);
        qint64 t = h.firstMs;
        if (fromMs > t)
            t += (fromMs - t + h.intervalMs - 1) / h.intervalMs * h.intervalMs;
        for (; t < end; t += h.intervalMs)
            if (std::none_of(h.gaps.cbegin(), h.gaps.cend(), [&](const Span& s) { return s.holds(t); }))
                each(echoAt(h, t));
    }

private:
    static constexpr qint64 kRawLimit = 300'000;
    // Count, lost, and the answered ones' min, p10, p25, median, p75, p90, max.
    struct Minute {
        std::int32_t echoes = 0;
        std::int32_t lost = 0;
        std::array<std::int32_t, 7> q{};
    };
    struct Entry {
        explicit Entry(Host h) : host(std::move(h)), minute0(floorDiv(host.firstMs, 60000)) {}
        Host host;
        qint64 minute0;
        std::once_flag built;
        std::vector<Minute> minutes;
    };

    static qint64 floorDiv(qint64 a, qint64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
    static std::uint64_t mix(std::uint64_t x) {
        x += 0x9e3779b97f4a7c15ull;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
        return x ^ (x >> 31);
    }
    static std::uint64_t nameSeed(const QString& name) {
        std::uint64_t h = 1469598103934665603ull;
        for (const QChar c : name)
            h = (h ^ c.unicode()) * 1099511628211ull;
        return h;
    }
    static qint64 lastEcho(const Host& h) {
        return h.lastMs <= h.firstMs ? h.firstMs : h.firstMs + (h.lastMs - 1 - h.firstMs) / h.intervalMs * h.intervalMs;
    }
    // Exact quantiles of the answered round trips, by rank.
    static void summarise(HistoryBucket& b, std::vector<std::int64_t>& trips) {
        if (trips.empty())
            return;
        std::sort(trips.begin(), trips.end());
        const auto at = [&](double q) { return trips[std::size_t(q * double(trips.size() - 1) + 0.5)]; };
        b.minUs = trips.front();
        b.p10Us = at(0.10);
        b.p25Us = at(0.25);
        b.medianUs = at(0.50);
        b.p75Us = at(0.75);
        b.p90Us = at(0.90);
        b.maxUs = trips.back();
    }
    Entry* find(const QString& host) {
        for (const auto& e : m_hosts)
            if (e->host.host == host)
                return e.get();
        return nullptr;
    }
    const std::vector<Minute>& minutesOf(Entry& e) {
        std::call_once(e.built, [&e] {
            const qint64 count = floorDiv(e.host.lastMs - 1, 60000) - e.minute0 + 1;
            e.minutes.resize(std::size_t(std::max<qint64>(count, 0)));
            std::vector<std::int64_t> trips;
            qint64 current = -1;
            const auto close = [&] {
                if (current < 0 || trips.empty())
                    return;
                HistoryBucket b;
                summarise(b, trips);
                e.minutes[current].q = {std::int32_t(b.minUs),    std::int32_t(b.p10Us), std::int32_t(b.p25Us),
                                        std::int32_t(b.medianUs), std::int32_t(b.p75Us), std::int32_t(b.p90Us),
                                        std::int32_t(b.maxUs)};
                trips.clear();
            };
            eachRaw(e.host, e.host.firstMs, e.host.lastMs, [&](const Raw& r) {
                const qint64 m = floorDiv(r.sentMs, 60000) - e.minute0;
                if (m != current) {
                    close();
                    current = m;
                }
                Minute& s = e.minutes[m];
                ++s.echoes;
                if (r.outcome != EchoSample::Outcome::Answered)
                    ++s.lost;
                else
                    trips.push_back(r.roundTripUs);
            });
            close();
        });
        return e.minutes;
    }

    std::vector<std::unique_ptr<Entry>> m_hosts;
};
