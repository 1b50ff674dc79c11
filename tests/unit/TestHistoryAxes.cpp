#include "report/plot/PlotColumns.h"
#include "report/plot/RoundTripScale.h"
#include "report/plot/TimeAxis.h"

#include <QDateTime>
#include <QTest>

// The history's columns and axes: echoes sparser than the columns held
// across them, round numbers of milliseconds that fit what is
// shown, and local time on calendar steps where the clocks change. Run
// with TZ=Europe/Berlin (2026-03-29 skips 02:00 to 03:00, 2026-10-25 has
// it twice) and TZ=America/Santiago (2026-09-06 begins at 01:00).
class TestHistoryAxes : public QObject {
    Q_OBJECT

    static bool in(const char* zone) { return qgetenv("TZ") == zone; }
    static qint64 at(const char* iso) {
        return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
    }
    static QStringList texts(const QList<TimeAxis::Tick>& ticks) {
        QStringList result;
        for (const TimeAxis::Tick& t : ticks)
            result << (t.sublabel.isEmpty() ? t.label : t.label + u'/' + t.sublabel);
        return result;
    }
    static constexpr qint64 kHour = 3'600'000;

private slots:
    // Zoomed in past the echoes: answered ones 5 columns apart, lost ones
    // 15 apart (each waits its time-out); the lost run reads as one band,
    // the answered ones as a line, a stretch where nothing was sent stays
    // empty.
    void lostEchoesReadAsOneBand() {
        BucketRun run;
        run.widthMs = 100;
        for (int i = 0; i < 120; ++i) {
            HistoryBucket b;
            const bool answered = (i < 30 || (i >= 75 && i < 90)) && i % 5 == 0;
            const bool lost = i >= 30 && i < 75 && i % 15 == 0;
            if (answered || lost) {
                b.echoes = 1;
                b.lost = lost ? 1 : 0;
                b.medianUs = lost ? -1 : 12'000;
            }
            run.buckets.append(b);
        }
        const PlotColumns columns(run, 0, 100, 120);
        for (int x = 30; x <= 60; ++x)
            QVERIFY2(columns.at(x).lost == 1, qPrintable(QString::number(x)));
        for (int x = 3; x <= 26; ++x)
            QVERIFY2(columns.at(x).echoes == 1 && columns.at(x).lost == 0, qPrintable(QString::number(x)));
        QCOMPARE(columns.at(110).echoes, 0);
        QCOMPARE(columns.lost(), 3);
    }

    void theRoundTripAxisFitsWhatIsShown() {
        // Mostly 14 to 17 ms, 5 % of the columns with a spike: the spikes
        // are cut, not fitted.
        std::vector<std::int64_t> deciles(1000, 17'000);
        for (int i = 0; i < 50; ++i)
            deciles[std::size_t(i * 19)] = 900'000;
        const RoundTripScale scale = RoundTripScale::fit(std::vector<std::int64_t>(1000, 15'000), deciles, 6);
        QCOMPARE(scale.topMs(), 20.0);
        QCOMPARE(scale.ticks(), (QList<double>{0, 5, 10, 15, 20}));
        QCOMPARE(scale.label(15), QStringLiteral("15 ms"));
        QCOMPARE(scale.share(30'000), 1.0);
        // A quiet local network, and no echoes at all.
        const std::vector<std::int64_t> quiet(10, 310);
        const RoundTripScale lan = RoundTripScale::fit(quiet, quiet, 5);
        QCOMPARE(lan.topMs(), 0.4);
        QCOMPARE(lan.label(0.3), QStringLiteral("0.3 ms"));
        QCOMPARE(RoundTripScale::fit({}, {}, 5).topMs(), 10.0);
        // Where the height has room for two ticks only.
        const std::vector<std::int64_t> slow(5, 130'000);
        QCOMPARE(RoundTripScale::fit(slow, slow, 2).stepMs(), 100.0);
    }

    void stepsFollowTheCalendar() {
        const qint64 from = at("2026-12-30T22:10:00");
        QCOMPARE(texts(TimeAxis::ticks(from, from + 4 * kHour, kHour)),
                 (QStringList{"23:00", "00:00/Thu 31 Dec", "01:00", "02:00"}));
        QCOMPARE(texts(TimeAxis::ticks(from, from + 90'000, 15'000)).first(), QStringLiteral("22:10:00"));
        QCOMPARE(texts(TimeAxis::ticks(at("2026-12-27T00:00:00"), at("2027-01-03T00:00:00"), 2 * qint64{86'400'000})),
                 (QStringList{"27 Dec", "29 Dec", "1 Jan/Jan 2027"}));
        QCOMPARE(texts(TimeAxis::ticks(at("2026-10-15T00:00:00"), at("2027-03-01T00:00:00"), 28 * qint64{86'400'000})),
                 (QStringList{"Nov", "Dec", "Jan/2027", "Feb"}));
        QCOMPARE(TimeAxis::dateText(from), QStringLiteral("Wed 30 Dec 2026"));
    }

    void theRepeatedHourHasItsTicksTwiceWithTheirOffsets() {
        if (!in("Europe/Berlin"))
            QSKIP("for TZ=Europe/Berlin");
        QCOMPARE(texts(TimeAxis::ticks(at("2026-10-25T00:30:00+02:00"), at("2026-10-25T04:30:00+01:00"), kHour)),
                 (QStringList{"01:00", "02:00/+02:00", "02:00/+01:00", "03:00", "04:00"}));
        // The skipped hour has none; ticks stay on the clock's hours.
        QCOMPARE(texts(TimeAxis::ticks(at("2026-03-29T00:30:00+01:00"), at("2026-03-29T05:30:00+02:00"), kHour)),
                 (QStringList{"01:00", "03:00", "04:00", "05:00"}));
        QCOMPARE(texts(TimeAxis::ticks(at("2026-03-28T23:00:00+01:00"), at("2026-03-29T09:00:00+02:00"), 3 * kHour)),
                 (QStringList{"00:00/Sun 29 Mar", "03:00", "06:00"}));
    }

    void aDayThatBeginsAt1amHasItsTickThere() {
        if (!in("America/Santiago"))
            QSKIP("for TZ=America/Santiago");
        QCOMPARE(texts(TimeAxis::ticks(at("2026-09-05T22:30:00-04:00"), at("2026-09-06T02:30:00-03:00"), kHour)),
                 (QStringList{"23:00", "01:00/Sun 6 Sep", "02:00"}));
        const QList<TimeAxis::Tick> days =
            TimeAxis::ticks(at("2026-09-05T00:00:00-04:00"), at("2026-09-08T00:00:00-03:00"), 86'400'000);
        QCOMPARE(texts(days), (QStringList{"5 Sep", "6 Sep", "7 Sep"}));
        QCOMPARE(days[1].ms, at("2026-09-06T01:00:00-03:00"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryAxes)
#include "TestHistoryAxes.moc"
