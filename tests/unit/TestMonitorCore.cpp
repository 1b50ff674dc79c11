#include "log/AveragingWindow.h"
#include "monitor/AlertCrossing.h"
#include "monitor/RecentAddresses.h"
#include "monitor/Reliability.h"

#include <QTest>

// The monitor's arithmetic: reliability index and alerts, recent hosts and
// the averaging window's grid.
class TestMonitorCore : public QObject {
    Q_OBJECT
private slots:
    void fifteenthLossFromFullFallsBelow() {
        int index = 1000;
        for (int i = 1; i <= 14; ++i)
            index = reliability::next(index, false);
        QCOMPARE(index, 300);
        QVERIFY(reliability::crossing(true, index) == reliability::Crossing::None);
        index = reliability::next(index, false);
        QCOMPARE(index, 250);
        QVERIFY(reliability::crossing(true, index) == reliability::Crossing::Fell);
        for (int i = 0; i < 10; ++i)
            index = reliability::next(index, false);
        QCOMPARE(index, 0);
    }

    void seventyFirstAnswerFromZeroRises() {
        int index = 0;
        for (int i = 1; i <= 70; ++i)
            index = reliability::next(index, true);
        QCOMPARE(index, 700);
        QVERIFY(reliability::crossing(false, index) == reliability::Crossing::None);
        index = reliability::next(index, true);
        QVERIFY(reliability::crossing(false, index) == reliability::Crossing::Rose);
        for (int i = 0; i < 100; ++i)
            index = reliability::next(index, true);
        QCOMPARE(index, 1000);
        QCOMPARE(reliability::percent(index), 100);
        QCOMPARE(reliability::percent(950), 95);
    }

    void noAlertBetween300And700() {
        for (int index = 300; index <= 700; index += 10) {
            QVERIFY(reliability::crossing(true, index) == reliability::Crossing::None);
            QVERIFY(reliability::crossing(false, index) == reliability::Crossing::None);
        }
    }

    // The newest 100 outcomes only, across the ring's wrap: the oldest
    // losses drop out, the run of recent losses is read from the newest.
    void recentEchoesKeepTheNewestAcrossTheWrap() {
        RecentEchoes recent;
        AlertCrossing crossing;
        recent.describe(crossing);
        QCOMPARE(crossing.echoes, 0);
        QVERIFY(!crossing.allRecentLost);
        for (int i = 0; i < 30; ++i)
            recent.add(false);
        for (int i = 0; i < 95; ++i)
            recent.add(true);
        recent.describe(crossing);
        QCOMPARE(crossing.echoes, RecentEchoes::Kept);
        QCOMPARE(crossing.lost, 5); // the last 5 of the 30 losses
        QVERIFY(!crossing.allRecentLost);
        for (int i = 0; i < RecentEchoes::Run - 1; ++i)
            recent.add(false);
        recent.describe(crossing);
        QVERIFY(!crossing.allRecentLost); // one answer among the newest ten
        recent.add(false);
        recent.describe(crossing);
        QCOMPARE(crossing.lost, RecentEchoes::Run); // the five old ones have dropped out
        QVERIFY(crossing.allRecentLost);
        recent.clear();
        recent.add(false);
        recent.describe(crossing);
        QCOMPARE(crossing.echoes, 1);
        QCOMPARE(crossing.lost, 1);
        QVERIFY(crossing.allRecentLost); // fewer than ten, all lost
    }

    void recentHosts_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("new host first") << QStringList{"a", "b"} << "c" << QStringList{"c", "a", "b"};
        QTest::newRow("known host moves up") << QStringList{"a", "b", "c"} << "c" << QStringList{"c", "a", "b"};
        QTest::newRow("case counts") << QStringList{"host"} << "Host" << QStringList{"Host", "host"};
        QTest::newRow("duplicates go") << QStringList{"a", "x", "a"} << "a" << QStringList{"a", "x"};
        QTest::newRow("eleventh drops the oldest")
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"} << "n"
            << QStringList{"n", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
        QTest::newRow("a long list shrinks by one")
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"} << "1"
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
        QTest::newRow("empty list") << QStringList{} << "" << QStringList{""};
    }
    void recentHosts() {
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        recent::insert(items, text);
        QCOMPARE(items, expected);
    }

    void gridSteps() {
        const double minute = 1.0 / 1440;
        const double today = 46215;
        const double now = today + 14 * 60 * minute + 3 * minute + 12.0 / 86400; // 14:03:12
        const double end = averaging::StepPast(today, 10 * minute, now);
        QVERIFY(qAbs(end - (today + 14 * 60 * minute + 10 * minute)) < 1e-9);
        // Exactly on a grid point counts as inside the window.
        QCOMPARE(averaging::StepPast(today, 0.5, today + 0.5), today + 0.5);
        // Lengths that would never get there leave the value or stop at once.
        QCOMPARE(averaging::StepPast(today, 0, now), today);
        QCOMPARE(averaging::StepPast(today, -1, now), today);
        QVERIFY(averaging::StepPast(today, 1e-300, now) >= now);
        // A very long way with one-second steps ends quickly and past now.
        const double later = today + 3650;
        const double reached = averaging::StepPast(today, 1.0 / 86400, later);
        QVERIFY(reached >= later && reached - later < 2.0 / 86400);
    }
};

QTEST_GUILESS_MAIN(TestMonitorCore)
#include "TestMonitorCore.moc"
