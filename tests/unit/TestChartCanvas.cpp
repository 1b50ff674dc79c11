#include "monitor/ChartCanvas.h"

#include <QTest>

// The chart's pixels, read back from the image.
class TestChartCanvas : public QObject {
    Q_OBJECT

    ChartCanvas chart;
    int column = 0;
    int waits = 0;

    QRgb at(int x, int y) const { return chart.image().pixel(x, y); }

    // Rows [from, to] of column x all have `colour`.
    bool columnIs(int x, int from, int to, QRgb colour) const {
        for (int y = from; y <= to; ++y)
            if (at(x, y) != colour)
                return false;
        return true;
    }

private slots:
    void init() {
        chart = ChartCanvas();
        chart.StartupFill();
        column = 0;
        waits = 0;
    }

    void startupIsNavyWithBlackFrameAndNoCursor() {
        QCOMPARE(chart.Width(), 345);
        QCOMPARE(chart.Height(), 97);
        for (int x = 0; x < 345; ++x) {
            QCOMPARE(at(x, 0), ChartCanvas::Black);
            QCOMPARE(at(x, 96), ChartCanvas::Black);
        }
        QVERIFY(columnIs(0, 0, 96, ChartCanvas::Black));
        QVERIFY(columnIs(344, 0, 96, ChartCanvas::Black));
        for (int x = 1; x < 344; ++x)
            QVERIFY(columnIs(x, 1, 95, ChartCanvas::Navy));
    }

    void barHeights_data() {
        QTest::addColumn<bool>("answered");
        QTest::addColumn<uint>("rtt");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("height");
        QTest::newRow("500 of 1000: 48.5 goes to even 48") << true << 500u << 1000 << 48;
        QTest::newRow("16 ms: 1.552 rounds to 2") << true << 16u << 1000 << 2;
        QTest::newRow("30 ms: 2.91 rounds to 3") << true << 30u << 1000 << 3;
        QTest::newRow("0 ms: at least 2") << true << 0u << 1000 << 2;
        QTest::newRow("1000 ms: full height") << true << 1000u << 1000 << 97;
        QTest::newRow("longer than the time-out") << true << 3000u << 1000 << 291;
        QTest::newRow("lost") << false << 0u << 1000 << 97;
        QTest::newRow("1500 of 3000: 48.5 to 48 again") << true << 1500u << 3000 << 48;
        QTest::newRow("2500 of 1000 / 97 = 242.5 to 242") << true << 2500u << 1000 << 242;
        QTest::newRow("largest round trip") << true << 0xFFFFFFFFu << 500 << 833223655;
    }
    void barHeights() {
        QFETCH(bool, answered);
        QFETCH(uint, rtt);
        QFETCH(int, timeout);
        QFETCH(int, height);
        QCOMPARE(ChartCanvas::BarHeight(answered, rtt, timeout, 97), height);
    }

    void lostEchoLeavesRowZero() {
        chart.ReplyStep(column, waits, false, 0, 1000);
        QVERIFY(columnIs(0, 1, 96, ChartCanvas::Teal));
        QCOMPARE(at(0, 0), ChartCanvas::Black);        // the frame stays
        QVERIFY(columnIs(1, 1, 96, ChartCanvas::Red)); // the cursor
        QCOMPARE(at(1, 0), ChartCanvas::Black);
        QCOMPARE(column, 1);
    }

    void zeroRoundTripPaintsTheBottomRowOnly() {
        chart.ReplyStep(column, waits, false, 0, 1000);
        column = 0;
        chart.ReplyStep(column, waits, true, 0, 1000);
        QCOMPARE(at(0, 96), ChartCanvas::Teal);
        QVERIFY(columnIs(0, 1, 95, ChartCanvas::Navy)); // erased over the earlier bar
        QCOMPARE(at(0, 0), ChartCanvas::Black);
    }

    void barHeightInPixels() {
        chart.ReplyStep(column, waits, true, 500, 1000); // h = 48: rows 50..96, 47 pixels
        QVERIFY(columnIs(0, 50, 96, ChartCanvas::Teal));
        QVERIFY(columnIs(0, 1, 49, ChartCanvas::Navy));
    }

    void tallBarReachesRowZero() {
        chart.ReplyStep(column, waits, true, 3000, 1000);
        QVERIFY(columnIs(0, 0, 96, ChartCanvas::Teal));
    }

    void sweepTakesWidthPlusOneReplies() {
        for (int i = 0; i < 345; ++i)
            chart.ReplyStep(column, waits, true, 100, 1000);
        QCOMPARE(column, 345); // past the edge: no cursor visible
        QCOMPARE(at(344, 96), ChartCanvas::Teal);
        chart.ReplyStep(column, waits, true, 1000, 1000); // falls on column 345, unseen
        QCOMPARE(column, 0);
        QVERIFY(columnIs(0, 1, 96, ChartCanvas::Red));
        QCOMPARE(at(344, 50), ChartCanvas::Navy); // the last visible bar kept its height
    }

    void waitingLinesWidenTheNextBar() {
        chart.ReplyStep(column, waits, true, 100, 1000);
        chart.ReplyStep(column, waits, true, 100, 1000); // column 2
        for (waits = 1; waits <= 3; ++waits)
            chart.WaitingStep(column, waits);
        waits = 3;
        for (int x = 3; x <= 5; ++x)
            QVERIFY(columnIs(x, 1, 96, ChartCanvas::Red));
        chart.ReplyStep(column, waits, false, 0, 1000);
        for (int x = 2; x <= 5; ++x)
            QVERIFY(columnIs(x, 1, 96, ChartCanvas::Teal));
        QCOMPARE(column, 6);
        QCOMPARE(waits, 0);
        QVERIFY(columnIs(6, 1, 96, ChartCanvas::Red));
    }

    void waitingLinesPastTheEdgeAreClipped() {
        column = 343;
        for (int w = 1; w <= 5; ++w)
            chart.WaitingStep(column, w); // columns 344..348
        QVERIFY(columnIs(344, 1, 96, ChartCanvas::Red));
        waits = 5;
        chart.ReplyStep(column, waits, true, 100, 1000);
        QCOMPARE(column, 0); // 349 > 345 wraps
    }

    void drawColumnLeavesOutTheEndPoint() {
        chart.DrawColumn(10, 1, ChartCanvas::Red); // h - 1 = 0 pixels
        QVERIFY(columnIs(10, 1, 95, ChartCanvas::Navy));
        chart.DrawColumn(10, 2, ChartCanvas::Red);
        QCOMPARE(at(10, 96), ChartCanvas::Red);
        QCOMPARE(at(10, 95), ChartCanvas::Navy);
        chart.DrawColumn(-1, 97, ChartCanvas::Red); // clipped, no crash
        chart.DrawColumn(345, 97, ChartCanvas::Red);
    }
};

QTEST_GUILESS_MAIN(TestChartCanvas)
#include "TestChartCanvas.moc"
