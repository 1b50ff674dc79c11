#include "history/BucketBuilder.h"
#include "history/EchoCodec.h"
#include "history/EchoSummary.h"
#include "history/JournalBlob.h"
#include "history/RttHistogram.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const IpAddress kAddress = *IpAddress::parse("192.0.2.1");

StoredEcho answer(std::int64_t sentMs, std::int64_t rttUs, int ttl = 57) {
    StoredEcho e;
    e.sentMs = sentMs;
    e.offsetS = 3600;
    e.outcome = EchoSample::Outcome::Answered;
    e.status = 0;
    e.rttUs = rttUs;
    e.ttl = ttl;
    e.from = kAddress;
    return e;
}

std::vector<StoredEcho> roundTrip(const std::vector<StoredEcho>& echoes, std::string* bytes = nullptr) {
    const EchoCodec::State start = EchoCodec::blockStart(1'800'000'000'000, 3600);
    std::string data;
    EchoCodec codec(kAddress, start);
    for (const StoredEcho& e : echoes)
        codec.encode(e, data);
    std::vector<StoredEcho> back;
    if (!EchoCodec::decodeAll(data, kAddress, start, back))
        back.clear();
    if (bytes)
        *bytes = data;
    return back;
}

} // namespace

// The packed forms the history is made of: echo records, round-trip
// histograms, journal rows, and columns made of echoes and summaries.
class TestHistoryCodec : public QObject {
    Q_OBJECT

private slots:
    void recordsRoundTripEveryKindOfEcho() {
        const std::int64_t t = 1'800'000'000'000;
        std::vector<StoredEcho> echoes{answer(t + 10, 0), answer(t + 1010, 2'000'000'000), answer(t + 2011, 15'000)};
        StoredEcho lost;
        lost.sentMs = t + 3000;
        lost.offsetS = 3600;
        echoes.push_back(lost);
        StoredEcho error = lost;
        error.sentMs = t + 2500; // out of order
        error.outcome = EchoSample::Outcome::Error;
        error.status = 11003;
        error.from = *IpAddress::parse("fe80::1%1");
        echoes.push_back(error);
        echoes.push_back(answer(t + 4000, 14'000, 63)); // another TTL
        StoredEcho relayed = answer(t + 5000, 14'500);
        relayed.from = *IpAddress::parse("198.51.100.7"); // answered by another
        echoes.push_back(relayed);
        StoredEcho shifted = answer(t + 5000, 14'400); // same time, the clocks changed
        shifted.offsetS = 7200;
        echoes.push_back(shifted);
        StoredEcho noStamp = answer(t + 6000, -1, -1);
        echoes.push_back(noStamp);
        echoes.push_back(answer(t + 7000, 14'000, 63));
        QCOMPARE(roundTrip(echoes), echoes);

        // A steady stream packs into about three bytes an echo.
        std::vector<StoredEcho> steady;
        for (int i = 0; i < 600; ++i)
            steady.push_back(answer(t + 1000 * i + (i * 7) % 5, 12'000 + (i * 811) % 3000));
        std::string bytes;
        QCOMPARE(roundTrip(steady, &bytes), steady);
        QVERIFY2(bytes.size() <= 600 * 4, QByteArray::number(qulonglong(bytes.size())));

        // Cut anywhere, a block reads as damaged or as its whole records;
        // never past its end.
        const EchoCodec::State start = EchoCodec::blockStart(t, 3600);
        roundTrip(echoes, &bytes);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            std::vector<StoredEcho> part;
            if (EchoCodec::decodeAll(std::string_view(bytes).substr(0, cut), kAddress, start, part))
                QVERIFY(part.size() < echoes.size());
        }
    }

    void histogramBinsAndQuantiles() {
        for (std::int64_t v : {0LL, 1LL, 15LL, 16LL, 17LL, 1000LL, 12'345LL, 999'999LL, 2'147'483'647LL}) {
            const int bin = RttHistogram::binOf(v);
            QVERIFY(bin >= 0 && bin < RttHistogram::Bins);
            QVERIFY(RttHistogram::lowerBound(bin) <= v && v < RttHistogram::upperBound(bin));
            if (v >= 16)
                QVERIFY(RttHistogram::upperBound(bin) - RttHistogram::lowerBound(bin) <= v / 8 + 1);
        }
        QCOMPARE(RttHistogram::binOf(-5), 0);
        QCOMPARE(RttHistogram::binOf(std::int64_t{1} << 40), RttHistogram::Bins - 1);

        // Quantiles read from sixty minutes' histograms added up come within
        // a few percent of the exact ones.
        std::vector<std::int64_t> all;
        RttHistogram hour;
        QRandomGenerator random(7);
        for (int minute = 0; minute < 60; ++minute) {
            RttHistogram h;
            for (int i = 0; i < 60; ++i) {
                const auto us = static_cast<std::int64_t>(9'000 * std::exp(random.generateDouble() * 1.5));
                all.push_back(us);
                h.add(us);
            }
            std::string packed;
            h.encode(packed);
            QVERIFY(hour.decode(reinterpret_cast<const unsigned char*>(packed.data()), packed.size()));
        }
        std::sort(all.begin(), all.end());
        for (const double q : {0.1, 0.25, 0.5, 0.75, 0.9}) {
            const std::int64_t exact = all[static_cast<std::size_t>(q * double(all.size() - 1))];
            const std::int64_t estimate = hour.quantile(q, all.front(), all.back());
            QVERIFY2(std::abs(estimate - exact) <= exact * 4 / 100,
                     qPrintable(QStringLiteral("%1: %2 for %3").arg(q).arg(estimate).arg(exact)));
        }
        QCOMPARE(RttHistogram().quantile(0.5, -1, -1), -1);
        const unsigned char damaged[] = {250, 1, 1};
        QVERIFY(!RttHistogram().decode(damaged, sizeof damaged));

        // A minute's median is exact; an hour's is read from its histogram.
        std::vector<StoredEcho> minute{answer(0, 10'000), answer(1, 20'000), answer(2, 40'000), StoredEcho{}};
        const EchoSummary s = EchoSummary::of(minute);
        QCOMPARE(s.echoes, 4);
        QCOMPARE(s.lost, 1);
        QCOMPARE(s.medianUs, 20'000);
        QCOMPARE(s.meanUs, 23'333);
        const EchoSummary two = EchoSummary::merged({s, s});
        QCOMPARE(two.echoes, 8);
        QCOMPARE(two.meanUs, 23'333);
        QVERIFY(qAbs(two.medianUs - 20'000) < 1'500);
    }

    // A reader finds one series' sections in a row of thousands with a few
    // small reads.
    void journalSectionsAreFoundByBinarySearch() {
        JournalBlob blob;
        for (std::int64_t s = 1000; s >= 1; --s)
            blob.add(s * 3, std::string(1, static_cast<char>(s % 100)));
        blob.add(300, "second");
        const std::string data = blob.finish();
        int reads = 0;
        const auto read = [&](std::uint32_t offset, std::uint32_t size, char* out) {
            ++reads;
            if (std::size_t{offset} + size > data.size())
                return false;
            std::memcpy(out, data.data() + offset, size);
            return true;
        };
        QStringList found;
        QVERIFY(JournalBlob::sectionsOf(read, static_cast<std::uint32_t>(data.size()), {3, 4, 300, 3000},
                                        [&](std::int64_t s, std::string_view section) {
                                            found << QStringLiteral("%1:%2").arg(s).arg(
                                                section.size() == 1 ? int(section[0]) : int(section.size()));
                                        }));
        QCOMPARE(found, (QStringList{"3:1", "300:0", "300:6", "3000:0"}));
        QVERIFY2(reads < 4 * 16, QByteArray::number(reads));
        std::vector<std::int64_t> series;
        QVERIFY(JournalBlob::seriesIn(read, static_cast<std::uint32_t>(data.size()), series));
        QCOMPARE(series.size(), 1001u);
        QVERIFY(!JournalBlob::sectionsOf(read, 3, {3}, [](std::int64_t, std::string_view) {}));
        QVERIFY(!JournalBlob::allSections(data.substr(0, 100), [](std::int64_t, std::string_view) {}));
    }

    // A summary is spread over the columns it overlaps by their share; a
    // column of echoes alone has exact quantiles.
    void columnsOfEchoesAndSummaries() {
        BucketBuilder b(0, 120'000, 4); // 30 s columns
        RttHistogram h;
        for (int i = 0; i < 60; ++i)
            h.add(20'000);
        std::string packed;
        h.encode(packed);
        b.addSummary(0, 60'000, 60, 6, 20'000, 20'000, packed);
        for (const std::int64_t us : {1'000, 2'000, 3'000, 4'000})
            b.addEcho(70'000 + us, true, us);
        b.addEcho(119'999, false, -1);
        b.addEcho(120'000, true, 1); // outside
        const QList<HistoryBucket> columns = b.finish();
        QCOMPARE(columns.size(), 4);
        QCOMPARE(columns[0].echoes, 30);
        QCOMPARE(columns[0].lost, 3);
        QCOMPARE(columns[1].medianUs, 20'000);
        QCOMPARE(columns[2].echoes, 4);
        QCOMPARE(columns[2].medianUs, 2'500);
        QCOMPARE(columns[2].p10Us, 1'300);
        QCOMPARE(columns[2].p90Us, 3'700);
        QCOMPARE(columns[3].echoes, 1);
        QCOMPARE(columns[3].lost, 1);
        QCOMPARE(columns[3].medianUs, -1);
        QCOMPARE(columns[3].toMs, 120'000);
    }
};

QTEST_GUILESS_MAIN(TestHistoryCodec)
#include "TestHistoryCodec.moc"
