#include "clock/DateTime.h"
#include "text/Regional.h"
#include "text/Stamps.h"

#include <QLocale>
#include <QTest>

namespace {

RegionalSettings separators(QChar date, QChar time, QChar decimal = u'.') {
    RegionalSettings r;
    r.dateSeparator = date;
    r.timeSeparator = time;
    r.decimalSeparator = decimal;
    return r;
}

// Milliseconds as day fractions.
constexpr double Ms = 1.0 / 86'400'000.0;

} // namespace

class TestStamps : public QObject {
    Q_OBJECT
private slots:
    void stamps_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shortStamp");
        QTest::addColumn<QString>("longStamp");
        QTest::addColumn<QString>("timeStamp");
        const double july12 = datetime::encode(2026, 7, 12);
        QTest::newRow("afternoon") << datetime::encode(2026, 7, 12, 14, 5, 9) << "07/12/2026 14:05"
                                   << "07/12/2026 14:05:09"
                                   << "14:05:09";
        QTest::newRow("seconds are cut, not rounded")
            << july12 + (14 * 3600 + 5 * 60 + 59.7) / 86400.0 << "07/12/2026 14:05"
            << "07/12/2026 14:05:59"
            << "14:05:59";
        QTest::newRow("midnight") << july12 << "07/12/2026 00:00"
                                  << "07/12/2026 00:00:00"
                                  << "00:00:00";
        QTest::newRow("last millisecond of the day") << july12 + 86'399'999 * Ms << "07/12/2026 23:59"
                                                     << "07/12/2026 23:59:59"
                                                     << "23:59:59";
        QTest::newRow("rounds into the next day") << july12 + 86'399'999.6 * Ms << "07/13/2026 00:00"
                                                  << "07/13/2026 00:00:00"
                                                  << "00:00:00";
        QTest::newRow("rounds into the next year")
            << datetime::encode(2026, 12, 31) + 86'399'999.6 * Ms << "01/01/2027 00:00"
            << "01/01/2027 00:00:00"
            << "00:00:00";
        QTest::newRow("leap day") << datetime::encode(2028, 2, 29, 9, 3, 7) << "02/29/2028 09:03"
                                  << "02/29/2028 09:03:07"
                                  << "09:03:07";
        // Day 13 cannot be a month: shows which field comes first.
        QTest::newRow("month before day") << datetime::encode(2026, 1, 13, 23, 0) << "01/13/2026 23:00"
                                          << "01/13/2026 23:00:00"
                                          << "23:00:00";
        QTest::newRow("day zero") << 0.0 << "12/30/1899 00:00"
                                  << "12/30/1899 00:00:00"
                                  << "00:00:00";
    }
    void stamps() {
        QFETCH(double, value);
        QFETCH(QString, shortStamp);
        QFETCH(QString, longStamp);
        QFETCH(QString, timeStamp);
        const RegionalSettings defaults;
        QCOMPARE(stamps::ShortStamp(value, defaults), shortStamp);
        QCOMPARE(stamps::LongStamp(value, defaults), longStamp);
        QCOMPARE(stamps::TimeStamp(value, defaults), timeStamp);
    }

    void stampsUseTheRegionalSeparators() {
        const double value = datetime::encode(2026, 7, 12, 14, 5, 9);
        const RegionalSettings dotted = separators(u'.', u'.');
        QCOMPARE(stamps::ShortStamp(value, dotted), "07.12.2026 14.05");
        QCOMPARE(stamps::LongStamp(value, dotted), "07.12.2026 14.05.09");
        QCOMPARE(stamps::TimeStamp(value, dotted), "14.05.09");

        const RegionalSettings mixed = separators(u'-', u':');
        QCOMPARE(stamps::ShortStamp(value, mixed), "07-12-2026 14:05");
        QCOMPARE(stamps::LongStamp(value, mixed), "07-12-2026 14:05:09");
        QCOMPARE(stamps::TimeStamp(value, mixed), "14:05:09");
    }

    void regionalFromLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QChar>("date");
        QTest::addColumn<QChar>("time");
        QTest::addColumn<QChar>("decimal");
        QTest::newRow("C has no date punctuation") << QLocale::c() << QChar(u'/') << QChar(u':') << QChar(u'.');
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << QChar(u'/') << QChar(u':')
                               << QChar(u'.');
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << QChar(u'.') << QChar(u':')
                               << QChar(u',');
        QTest::newRow("de_CH") << QLocale(QLocale::German, QLocale::Switzerland) << QChar(u'.') << QChar(u':')
                               << QChar(u'.');
        QTest::newRow("fr_FR") << QLocale(QLocale::French, QLocale::France) << QChar(u'/') << QChar(u':')
                               << QChar(u',');
        QTest::newRow("nl_NL") << QLocale(QLocale::Dutch, QLocale::Netherlands) << QChar(u'-') << QChar(u':')
                               << QChar(u',');
        QTest::newRow("fi_FI dots in the time")
            << QLocale(QLocale::Finnish, QLocale::Finland) << QChar(u'.') << QChar(u'.') << QChar(u',');
        // Quoted words in a format are not separators.
        QTest::newRow("fr_CA quoted hour word")
            << QLocale(QLocale::French, QLocale::Canada) << QChar(u'-') << QChar(u':') << QChar(u',');
        QTest::newRow("nds_DE quoted prefix")
            << QLocale(QLocale::LowGerman, QLocale::Germany) << QChar(u'.') << QChar(u'.') << QChar(u',');
        // Direction marks beside the slashes are invisible, not separators.
        QTest::newRow("ar_EG") << QLocale(QLocale::Arabic, QLocale::Egypt) << QChar(u'/') << QChar(u':')
                               << QChar(u'\u066b');
    }
    void regionalFromLocale() {
        QFETCH(QLocale, locale);
        QFETCH(QChar, date);
        QFETCH(QChar, time);
        QFETCH(QChar, decimal);
        const RegionalSettings r = RegionalSettings::fromLocale(locale);
        QCOMPARE(r.dateSeparator, date);
        QCOMPARE(r.timeSeparator, time);
        QCOMPARE(r.decimalSeparator, decimal);
    }
};

QTEST_GUILESS_MAIN(TestStamps)
#include "TestStamps.moc"
