#include "ReportRange.h"
#include "report/Format.h"
#include "report/Timeline.h"

#include <QTest>
#include <QTimeZone>

// Where the clocks change: run once with TZ=America/Santiago (2026-09-06
// begins at 01:00) and once with TZ=Europe/Berlin (2026-10-25 has 02:00 to
// 03:00 twice); each case runs in its own zone.
class TestTimeZones : public QObject {
    Q_OBJECT

    static bool in(const char* zone) { return qgetenv("TZ") == zone; }
    static QDateTime at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }
    static const QRectF band() { return QRectF(0, 0, 240, 10); }

private slots:
    void aDayBeginsAtItsFirstMoment() {
        if (!in("America/Santiago"))
            QSKIP("for TZ=America/Santiago");
        QString error;
        const auto range = ReportRange::parse(QStringLiteral("2026-09-06..2026-09-06"), at("2026-12-01T00:00"), &error);
        QVERIFY2(range, qPrintable(error));
        QCOMPARE(range->from, at("2026-09-06T01:00:00-03:00"));
        QCOMPARE(range->to, at("2026-09-07T00:00:00-03:00"));
        // 02:00 to 03:00 is drawn at 02:00 to 03:00, though the day is 23 hours long.
        const QList<QRectF> bar =
            report::Timeline::spans(at("2026-09-06T02:00:00-03:00").toMSecsSinceEpoch(),
                                    at("2026-09-06T03:00:00-03:00").toMSecsSinceEpoch(), QDate(2026, 9, 6), band());
        QCOMPARE(bar.size(), 1);
        QCOMPARE(qRound(bar[0].left()), 20);
        QCOMPARE(qRound(bar[0].right()), 30);
    }

    void theRepeatedHourShowsItsOffset() {
        if (!in("Europe/Berlin"))
            QSKIP("for TZ=Europe/Berlin");
        QCOMPARE(report::stampText(at("2026-10-25T02:30:00+02:00")), QStringLiteral("2026-10-25 02:30:00 +02:00"));
        QCOMPARE(report::stampText(at("2026-10-25T02:10:00+01:00")), QStringLiteral("2026-10-25 02:10:00 +01:00"));
        QCOMPARE(report::stampText(at("2026-10-25T03:10:00+01:00")), QStringLiteral("2026-10-25 03:10:00"));
        QCOMPARE(report::stampText(at("2026-10-25T01:50:00+02:00")), QStringLiteral("2026-10-25 01:50:00"));
        // Lengths stay those of the clock that does not change.
        QCOMPARE(report::durationText(at("2026-10-25T02:50:00+02:00").msecsTo(at("2026-10-25T02:10:00+01:00"))),
                 QStringLiteral("20 min 00 s"));
        // Across the change: 02:50 to 03:00, then 02:00 to 02:10 again.
        const QList<QRectF> bar =
            report::Timeline::spans(at("2026-10-25T02:50:00+02:00").toMSecsSinceEpoch(),
                                    at("2026-10-25T02:10:00+01:00").toMSecsSinceEpoch(), QDate(2026, 10, 25), band());
        QCOMPARE(bar.size(), 2);
        QCOMPARE(
            (QList<int>{qRound(bar[0].left()), qRound(bar[0].right()), qRound(bar[1].left()), qRound(bar[1].right())}),
            (QList<int>{28, 30, 20, 22}));
    }

    void anAmbiguousEndAsksForItsOffset() {
        if (!in("Europe/Berlin"))
            QSKIP("for TZ=Europe/Berlin");
        const QDateTime now = at("2026-12-01T00:00");
        QString error;
        QVERIFY(!ReportRange::parse(QStringLiteral("2026-10-25T02:30..2026-10-25T05:00"), now, &error));
        QVERIFY2(error.contains(QStringLiteral("happens twice")) && error.contains(QStringLiteral("+01:00")),
                 qPrintable(error));
        const auto range = ReportRange::parse(QStringLiteral("2026-10-25T02:30+01:00..2026-10-25T05:00"), now, &error);
        QVERIFY(range);
        QCOMPARE(range->from, at("2026-10-25T01:30:00Z"));
        QVERIFY(ReportRange::parse(QStringLiteral("2026-10-25..2026-10-25"), now, &error));
    }
};

QTEST_GUILESS_MAIN(TestTimeZones)
#include "TestTimeZones.moc"
