#include "EchoFigures.h"

#include "Format.h"

#include "history/HistoryFile.h"
#include "report/plot/TimeAxis.h"

#include <QDateTime>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <vector>

namespace report {

namespace {

constexpr qint64 kHourMs = 3600 * 1000;

// The q-quantile of sorted values, read linearly between the two nearest
// ranks, as the history reads its columns of echoes.
std::int64_t quantile(const std::int32_t* sorted, std::size_t n, double q) {
    const double at = q * double(n - 1);
    const auto below = std::size_t(at);
    const std::size_t above = std::min(below + 1, n - 1);
    return std::llround(double(sorted[below]) + (at - double(below)) * double(sorted[above] - sorted[below]));
}

// A summary knows its quantiles up to the 90th, then its maximum, which is
// mostly a spike. The 95th is put beyond the 90th by 0.7 of the way from
// the 75th to the 90th: between what an exponential tail (0.76) and a
// normal one (0.60) give.
std::int64_t p95Estimate(const HistoryBucket& b) {
    if (b.p90Us < 0)
        return -1;
    const std::int64_t up = b.p90Us + std::llround(0.7 * double(b.p90Us - std::max<std::int64_t>(b.p75Us, 0)));
    return std::clamp(up, b.p90Us, std::max(b.p90Us, b.maxUs));
}

// How many of a summary's answered echoes are at most `us`, its round trips
// taken as spread evenly between the quantiles it knows.
double answeredUpTo(const HistoryBucket& b, std::int64_t us) {
    const double answered = double(b.echoes - b.lost);
    if (answered <= 0 || b.minUs < 0)
        return 0;
    const std::int64_t values[] = {b.minUs, b.p10Us, b.p25Us, b.medianUs, b.p75Us, b.p90Us, p95Estimate(b), b.maxUs};
    constexpr double shares[] = {0, 0.10, 0.25, 0.50, 0.75, 0.90, 0.95, 1};
    if (us < values[0])
        return 0;
    std::int64_t low = values[0];
    for (int i = 1; i < 8; ++i) {
        const std::int64_t high = std::max(low, values[i]);
        if (us < high)
            return answered * (shares[i - 1] + (shares[i] - shares[i - 1]) * double(us - low) / double(high - low));
        low = high;
    }
    return answered;
}

struct Hour {
    EchoHour figures;
    HistoryBucket bucket; // as the summaries have it
    // Read one by one: the echoes, the lost, and where its answered round
    // trips lie in the list of them, sorted.
    qint64 readEchoes = 0;
    qint64 readLost = 0;
    std::size_t first = 0;
    std::size_t count = 0;
    bool exact = false;
};

// The moments the clock hours of [fromMs, toMs) begin, with both ends.
std::vector<qint64> hourBounds(qint64 fromMs, qint64 toMs) {
    std::vector<qint64> bounds{fromMs};
    for (const TimeAxis::Tick& tick : TimeAxis::ticks(fromMs, toMs, kHourMs))
        if (tick.ms > bounds.back() && tick.ms < toMs)
            bounds.push_back(tick.ms);
    bounds.push_back(toMs);
    return bounds;
}

// The summaries of each hour: hours of one length side by side in one read.
void readBuckets(IHistorySource& history, const QString& host, std::vector<Hour>& hours,
                 const std::vector<qint64>& bounds) {
    for (std::size_t i = 0; i < hours.size();) {
        const qint64 length = bounds[i + 1] - bounds[i];
        std::size_t j = i + 1;
        while (j < hours.size() && bounds[j + 1] - bounds[j] == length)
            ++j;
        const QList<HistoryBucket> read = history.buckets(host, bounds[i], bounds[j], int(j - i));
        for (std::size_t k = i; k < j && qsizetype(k - i) < read.size(); ++k)
            hours[k].bucket = read[qsizetype(k - i)];
        i = j;
    }
}

// The quantile q of every answered round trip in the period, some hours
// known one by one and some from their summaries: the least round trip
// that as many are at most.
std::int64_t mixedQuantile(const std::vector<Hour>& hours, const std::vector<std::int32_t>& trips, double q) {
    double answered = 0;
    std::int64_t high = 0;
    for (const Hour& h : hours) {
        if (h.exact) {
            answered += double(h.count);
            if (h.count > 0)
                high = std::max<std::int64_t>(high, trips[h.first + h.count - 1]);
        } else if (h.bucket.minUs >= 0) {
            answered += double(h.bucket.echoes - h.bucket.lost);
            high = std::max(high, h.bucket.maxUs);
        }
    }
    if (answered <= 0)
        return -1;
    const auto upTo = [&](std::int64_t us) {
        double n = 0;
        for (const Hour& h : hours) {
            if (h.exact) {
                const auto begin = trips.begin() + std::ptrdiff_t(h.first);
                n += double(std::upper_bound(begin, begin + std::ptrdiff_t(h.count), us) - begin);
            } else {
                n += answeredUpTo(h.bucket, us);
            }
        }
        return n;
    };
    std::int64_t low = 0;
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        if (upTo(middle) >= q * answered)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// Worse: more of its echoes lost; of equal shares, the higher p95.
bool worse(const EchoHour& a, const EchoHour& b) {
    const qint64 left = a.lost * b.echoes;
    const qint64 right = b.lost * a.echoes;
    if (left != right)
        return left > right;
    if (a.p95Us != b.p95Us)
        return a.p95Us > b.p95Us;
    return a.fromMs < b.fromMs;
}

} // namespace

EchoFigures echoFigures(IHistorySource& history, const QString& host, qint64 fromMs, qint64 toMs, int graphColumns,
                        qint64 exactLimit) {
    EchoFigures out;
    if (toMs <= fromMs)
        return out;
    const std::vector<qint64> bounds = hourBounds(fromMs, toMs);
    std::vector<Hour> hours(bounds.size() - 1);
    readBuckets(history, host, hours, bounds);
    qint64 summarised = 0;
    for (const Hour& h : hours)
        summarised += h.bucket.echoes;
    if (summarised == 0)
        return out;

    // The echoes themselves, as far as they are kept, when there are not
    // too many of them; each hour's round trips side by side, in order.
    std::vector<std::int32_t> trips;
    std::map<qint64, qint64> spacings; // from one echo to the next: how often
    qint64 firstRead = -1;
    qint64 lastRead = -1;
    bool read = summarised <= exactLimit;
    if (read) {
        trips.reserve(std::size_t(summarised));
        std::size_t at = 0;
        qint64 taken = 0;
        history.forEachEcho(host, fromMs, toMs, [&](const EchoSample& e) {
            const qint64 sent = e.sent.wall.toMSecsSinceEpoch();
            if (sent < fromMs || sent >= toMs)
                return true;
            if (++taken > exactLimit + exactLimit / 8) {
                read = false;
                return false;
            }
            if (firstRead < 0)
                firstRead = sent;
            if (lastRead >= 0)
                ++spacings[sent - lastRead];
            lastRead = sent;
            while (at + 1 < hours.size() && sent >= bounds[at + 1]) {
                hours[at + 1].first = trips.size();
                ++at;
            }
            Hour& h = hours[at];
            ++h.readEchoes;
            if (!e.answered())
                ++h.readLost;
            else {
                trips.push_back(std::int32_t(std::clamp<std::int64_t>(e.roundTripMicros, 0, INT32_MAX)));
                ++h.count;
            }
            return true;
        });
        // Hours after the last echo read begin at the end of the list.
        for (std::size_t i = at + 1; i < hours.size(); ++i)
            hours[i].first = trips.size();
    }

    qint64 spaced = 0;
    for (const auto& [ms, n] : spacings)
        spaced += n;
    for (auto it = spacings.begin(); spaced > 0 && it != spacings.end(); ++it)
        if ((spaced -= 2 * it->second) <= 0) {
            out.spacingMs = it->first;
            break;
        }

    // An hour is known one by one from the first echo kept on (older ones
    // are dropped first), and before it where no fewer were read than its
    // summaries count.
    bool anyEstimate = false;
    for (std::size_t i = 0; i < hours.size(); ++i) {
        Hour& h = hours[i];
        EchoHour& f = h.figures;
        f.fromMs = bounds[i];
        f.toMs = bounds[i + 1];
        h.exact = read && firstRead >= 0 && (f.fromMs >= firstRead || h.readEchoes >= h.bucket.echoes);
        if (h.exact) {
            f.echoes = h.readEchoes;
            f.lost = h.readLost;
            if (h.count > 0) {
                std::int32_t* begin = trips.data() + h.first;
                std::sort(begin, begin + h.count);
                f.medianUs = quantile(begin, h.count, 0.5);
                f.p95Us = quantile(begin, h.count, 0.95);
            }
        } else {
            h.count = 0;
            f.echoes = h.bucket.echoes;
            f.lost = h.bucket.lost;
            f.medianUs = h.bucket.medianUs;
            f.p95Us = p95Estimate(h.bucket);
            f.estimated = f.medianUs >= 0;
            anyEstimate = anyEstimate || f.estimated;
        }
        out.echoes += f.echoes;
        out.lost += f.lost;
        out.hours.append(f);
    }

    if (!anyEstimate) {
        // Every round trip is in the list: sorted by hours, whole for the period.
        if (!trips.empty()) {
            std::sort(trips.begin(), trips.end());
            out.medianUs = quantile(trips.data(), trips.size(), 0.5);
            out.p95Us = quantile(trips.data(), trips.size(), 0.95);
        }
    } else {
        out.estimated = true;
        out.medianUs = mixedQuantile(hours, trips, 0.5);
        out.p95Us = mixedQuantile(hours, trips, 0.95);
        if (!read)
            out.estimateNote = QStringLiteral("The period holds too many echoes to read one by one: the round trips "
                                              "marked \"about\" are estimated from the history's summaries.");
        else if (firstRead < 0)
            out.estimateNote = QStringLiteral("The echoes of this period are no longer kept one by one: the round "
                                              "trips marked \"about\" are estimated from the history's summaries.");
        else
            out.estimateNote = QStringLiteral("Echoes before %1 are no longer kept one by one: the round trips "
                                              "marked \"about\" are estimated from the history's summaries.")
                                   .arg(stampText(QDateTime::fromMSecsSinceEpoch(firstRead)));
    }

    for (const EchoHour& f : out.hours)
        if (f.echoes > 0)
            out.worstHours.append(f);
    std::sort(out.worstHours.begin(), out.worstHours.end(), worse);
    out.worstHours.resize(std::min<qsizetype>(out.worstHours.size(), WorstHourCount));

    // The graph's columns, as long as need be to cover the period.
    graphColumns = std::max(graphColumns, 1);
    out.graphFromMs = fromMs;
    out.columnMs = (toMs - fromMs + graphColumns - 1) / graphColumns;
    out.columns = history.buckets(host, fromMs, fromMs + out.columnMs * graphColumns, graphColumns);
    return out;
}

QString historyPathFor(const QString& ledgerPath) {
    return HistoryFile::pathForLog(ledgerPath);
}

} // namespace report
