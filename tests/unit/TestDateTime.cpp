#include "clock/DateTime.h"
#include "clock/SystemClock.h"

#include <QDateTime>
#include <QTest>

#include <cmath>

using datetime::Fields;

Q_DECLARE_METATYPE(Fields)

namespace {

// Milliseconds as day fractions, so the tests can aim just beside a boundary.
constexpr double Ms = 1.0 / 86'400'000.0;

QString show(const Fields& f) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6.%7")
        .arg(f.year)
        .arg(f.month)
        .arg(f.day)
        .arg(f.hour)
        .arg(f.minute)
        .arg(f.second)
        .arg(f.ms);
}

} // namespace

class TestDateTime : public QObject {
    Q_OBJECT
private slots:
    // Known day numbers pin the calendar, leap years included.
    void encodeDates_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<double>("days");
        QTest::newRow("day zero") << 1899 << 12 << 30 << 0.0;
        QTest::newRow("1900-01-01") << 1900 << 1 << 1 << 2.0;
        QTest::newRow("1900 is no leap year") << 1900 << 3 << 1 << 61.0;
        QTest::newRow("unix epoch") << 1970 << 1 << 1 << 25569.0;
        QTest::newRow("2000 is a leap year") << 2000 << 3 << 1 << 36586.0;
        QTest::newRow("2026-07-12") << 2026 << 7 << 12 << 46215.0;
        QTest::newRow("leap day 2028") << 2028 << 2 << 29 << 46812.0;
        QTest::newRow("after leap day 2028") << 2028 << 3 << 1 << 46813.0;
        QTest::newRow("new year 2100") << 2100 << 1 << 1 << 73051.0;
    }
    void encodeDates() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(double, days);
        QCOMPARE(datetime::encode(year, month, day), days);
        const Fields f = datetime::decode(days);
        QCOMPARE(show(f), show(Fields{year, month, day, 0, 0, 0, 0}));
    }

    void encodeTimeOfDay() {
        QCOMPARE(datetime::encode(2026, 7, 12, 12), 46215.5);
        QCOMPARE(datetime::encode(2026, 7, 12, 6), 46215.25);
        QCOMPARE(datetime::encode(2026, 7, 12, 0, 0, 1), 46215 + OneSecond);
        QCOMPARE(datetime::encode(2026, 7, 12, 0, 1), 46215 + OneMinute);
    }

    // decode() rounds to the millisecond first, then cuts the fields.
    void decodeRounding_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<Fields>("expected");
        const double day = datetime::encode(2026, 7, 12);
        QTest::newRow("midnight") << day << Fields{2026, 7, 12, 0, 0, 0, 0};
        QTest::newRow("a hair before midnight") << day - 1e-9 << Fields{2026, 7, 12, 0, 0, 0, 0};
        QTest::newRow("fraction of a second kept")
            << day + (14 * 3600 + 5 * 60 + 59.7) / 86400.0 << Fields{2026, 7, 12, 14, 5, 59, 700};
        QTest::newRow("last millisecond") << day + 86'399'999 * Ms << Fields{2026, 7, 12, 23, 59, 59, 999};
        QTest::newRow("0.9994 s before midnight rounds down")
            << day + 86'399'999.4 * Ms << Fields{2026, 7, 12, 23, 59, 59, 999};
        QTest::newRow("0.9996 s before midnight rounds into the next day")
            << day + 86'399'999.6 * Ms << Fields{2026, 7, 13, 0, 0, 0, 0};
        QTest::newRow("into the next year")
            << datetime::encode(2026, 12, 31) + 86'399'999.6 * Ms << Fields{2027, 1, 1, 0, 0, 0, 0};
        QTest::newRow("into the leap day")
            << datetime::encode(2028, 2, 28) + 86'399'999.6 * Ms << Fields{2028, 2, 29, 0, 0, 0, 0};
        QTest::newRow("leap day noon") << datetime::encode(2028, 2, 29, 12) << Fields{2028, 2, 29, 12, 0, 0, 0};
        QTest::newRow("day zero") << 0.0 << Fields{1899, 12, 30, 0, 0, 0, 0};
    }
    void decodeRounding() {
        QFETCH(double, value);
        QFETCH(Fields, expected);
        QCOMPARE(show(datetime::decode(value)), show(expected));
    }

    // Every millisecond of a day comes back unchanged through encode/decode.
    void encodeDecodeRoundTrip() {
        for (int msOfDay = 0; msOfDay < 86'400'000; msOfDay += 997) {
            const Fields in{2026,          7, 12, msOfDay / 3'600'000, msOfDay / 60'000 % 60, msOfDay / 1000 % 60,
                            msOfDay % 1000};
            const Fields out =
                datetime::decode(datetime::encode(in.year, in.month, in.day, in.hour, in.minute, in.second, in.ms));
            QCOMPARE(show(out), show(in));
        }
    }

    void qDateTimeConversions() {
        const QDateTime local(QDate(2026, 7, 12), QTime(14, 5, 59, 123), Qt::LocalTime);
        const TDateTime value = datetime::fromQDateTime(local);
        QCOMPARE(value, datetime::encode(2026, 7, 12, 14, 5, 59, 123));
        QCOMPARE(datetime::toQDateTime(value), local);
        QCOMPARE(datetime::toQDateTime(46215.5).timeSpec(), Qt::LocalTime);

        // A UTC moment counts in local time.
        const QDateTime utc = local.toUTC();
        QCOMPARE(datetime::fromQDateTime(utc), value);
    }

    void systemClockFollowsTheSystem() {
        const SystemClock clock;
        const QDateTime before = QDateTime::currentDateTime();
        const TDateTime now = clock.Now();
        const QDateTime after = QDateTime::currentDateTime();
        const QDateTime seen = datetime::toQDateTime(now);
        QVERIFY(seen >= before.addMSecs(-1));
        QVERIFY(seen <= after.addMSecs(1));

        const TDateTime today = clock.Today();
        QCOMPARE(today, std::floor(today));
        // Midnight may pass between the two calls.
        QVERIFY(today == std::floor(now) || today == std::floor(now) + 1);
    }
};

QTEST_GUILESS_MAIN(TestDateTime)
#include "TestDateTime.moc"
