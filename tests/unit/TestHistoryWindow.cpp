#include "ScriptedFileDialogs.h"
#include "ScriptedMessageBoxes.h"
#include "SlowHistory.h"
#include "SyntheticHistory.h"
#include "TestMain.h"
#include "history/HistoryExport.h"
#include "history/THistoryChart.h"
#include "history/THistoryForm.h"
#include "report/CauseColours.h"

#include <QBuffer>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <atomic>
#include <memory>

// A history still being written: it holds the echoes sent before
// `written`, and each read of its buckets takes `readMs` of `clock`.
class WrittenHistory : public IHistorySource {
public:
    WrittenHistory(IHistorySource& inner, std::atomic<qint64>& clock) : m_inner(inner), m_clock(clock) {}

    QList<HistoryHost> hosts() override { return m_inner.hosts(); }
    QList<HistoryBucket> buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) override {
        ++reads;
        QList<HistoryBucket> result = m_inner.buckets(host, fromMs, toMs, columns);
        for (int i = 0; i < columns; ++i)
            if (fromMs + (toMs - fromMs) * i / columns >= written)
                result[i] = HistoryBucket();
        m_clock += readMs;
        return result;
    }
    void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                     const std::function<bool(const EchoSample&)>& take) override {
        m_inner.forEachEcho(host, fromMs, std::min<qint64>(toMs, written), take);
    }

    std::atomic<qint64> written = 0;
    std::atomic<int> reads = 0;
    static constexpr qint64 readMs = 40;

private:
    IHistorySource& m_inner;
    std::atomic<qint64>& m_clock;
};

// The history window on a made-up month of one echo a second with a
// 10-minute blackhole two hours ago: its view, its picture, its readout
// and its exports. Run at scale 1 and 2.
class TestHistoryWindow : public QObject {
    Q_OBJECT

    static constexpr qint64 kMinute = 60'000;
    static constexpr qint64 kHour = 60 * kMinute;
    static constexpr qint64 kDay = 24 * kHour;
    static constexpr qint64 kNow = 1'796'904'000'000; // 2026-12-10 12:00 UTC
    static constexpr qint64 kHole = kNow - 2 * kHour;

    SyntheticHistory synthetic{{
        SyntheticHistory::host(QStringLiteral("router.lan"), QStringLiteral("192.0.2.1"), kNow - 30 * kDay, kNow + 1000)
            .blackhole(kHole, kHole + 10 * kMinute),
        SyntheticHistory::host(QStringLiteral("[FD77:0:0::2]"), QStringLiteral("fd77::2"), kNow - kDay, kNow + 1000),
    }};
    QTemporaryDir dir;
    ScriptedFileDialogs dialogs;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<THistoryForm> form;
    qint64 now = kNow;
    qreal scale = 1;

    void open(IHistorySource& source) {
        form = std::make_unique<THistoryForm>(nullptr, &source, &dialogs);
        form->setClock([this] { return QDateTime::fromMSecsSinceEpoch(now); });
        form->setWatchedHost(QStringLiteral("router.lan"));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        settle();
    }
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(form->fetchesDone(), 20000); }
    const HistoryViewport& view() const { return form->chart->view(); }
    // The device pixel column of a moment, and the plot in device pixels.
    QRect plot() const {
        const QRectF area = form->chart->plot().plotArea();
        return QRect(qRound(area.left() * scale), qRound(area.top() * scale), form->chart->plot().columns(),
                     qRound(area.height() * scale));
    }
    int column(qint64 ms) const {
        return plot().left() + int((ms - view().fromMs()) * plot().width() / view().spanMs());
    }
    QPoint pointAt(qint64 ms) const { return QPoint(qRound(form->chart->xOf(ms)), form->chart->height() / 2); }
    void wheel(const QPoint& at, int delta) {
        QWheelEvent event(at, form->chart->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->chart, &event);
    }
    // Sent to the chart itself: at scale 2 the window is wider than the
    // offscreen screen, whose pointer stays on it.
    void moveTo(const QPoint& at, Qt::MouseButtons held = Qt::NoButton) {
        QMouseEvent event(QEvent::MouseMove, at, form->chart->mapToGlobal(at), Qt::NoButton, held, {});
        QApplication::sendEvent(form->chart, &event);
    }
    LedgerRow outage(qint64 from, qint64 to) const {
        LedgerRow row;
        row.start = QDateTime::fromMSecsSinceEpoch(from);
        row.end = QDateTime::fromMSecsSinceEpoch(to);
        row.durationMs = to - from;
        row.host = QStringLiteral("router.lan");
        row.cause = cause::BeyondGateway;
        return row;
    }

private slots:
    void initTestCase() {
        scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
        TApplication::SetMessageBoxes(&boxes);
    }
    void init() {
        now = kNow;
        dialogs = ScriptedFileDialogs();
        open(synthetic);
    }
    void cleanup() { form.reset(); }

    void presetsAndTheHostList() {
        QCOMPARE(form->windowTitle(), QStringLiteral("History"));
        QVERIFY(view().live());
        QCOMPARE(view().spanMs(), kDay);
        const QList<qint64> spans{kHour, 6 * kHour, kDay, 7 * kDay, 30 * kDay, 0};
        for (qsizetype i = 0; i < spans.size(); ++i) {
            form->presets[i]->click();
            QCOMPARE(view().toMs(), kNow);
            QCOMPARE(view().fromMs(), spans[i] ? kNow - spans[i] : kNow - 30 * kDay);
        }
        // Not live, a preset keeps the middle of the view.
        form->chart->showRange(kNow - 10 * kHour, kNow - 9 * kHour);
        form->presets[1]->click();
        QCOMPARE(view().fromMs(), kNow - 12 * kHour - 30 * kMinute);
        QCOMPARE(view().toMs(), kNow - 6 * kHour - 30 * kMinute);
        QStringList hosts;
        for (int i = 0; i < form->cbHost->count(); ++i)
            hosts << form->cbHost->itemText(i);
        QCOMPARE(hosts, (QStringList{"router.lan (192.0.2.1)", "[FD77:0:0::2] (fd77::2)"}));
        // Another host has its own extent.
        form->showHost(QStringLiteral("[FD77:0:0::2]"));
        form->presets[5]->click();
        QCOMPARE(view().spanMs(), kDay);
    }

    void wheelDragAndKeysMoveTheView() {
        form->chart->showRange(kNow - 3 * kHour, kNow - 2 * kHour);
        const double perPixel = double(view().spanMs()) / form->chart->plot().plotArea().width();
        const QPoint at(form->chart->width() / 3, form->chart->height() / 2);
        const qint64 under = form->chart->timeAt(at.x());
        wheel(at, 120);
        QVERIFY(std::abs(view().spanMs() - qint64(0.8 * kHour)) <= 1);
        QVERIFY(std::abs(form->chart->timeAt(at.x()) - under) <= qint64(perPixel));
        wheel(at, -120);
        QVERIFY(std::abs(view().spanMs() - kHour) <= 1);

        const qint64 from = view().fromMs();
        QTest::mousePress(form->chart, Qt::LeftButton, {}, at);
        moveTo(at - QPoint(100, 0), Qt::LeftButton);
        QTest::mouseRelease(form->chart, Qt::LeftButton, {}, at - QPoint(100, 0));
        QVERIFY(std::abs(view().fromMs() - from - qint64(100 * perPixel)) <= qint64(perPixel));

        form->chart->showRange(kNow - 3 * kHour, kNow - 2 * kHour);
        QTest::keyClick(form->chart, Qt::Key_Left);
        const qint64 before = kNow - 3 * kHour;
        QCOMPARE(view().fromMs(), before - kHour / 10);
        QTest::keyClick(form->chart, Qt::Key_Plus);
        QVERIFY(std::abs(view().spanMs() - kHour / 1.5) <= 1);
        QTest::keyClick(form->chart, Qt::Key_Minus);
        QTest::keyClick(form->chart, Qt::Key_End);
        QVERIFY(view().live() && form->btnLive->isChecked());
        QCOMPARE(view().toMs(), kNow);
    }

    // From a minute to all, never past now or before the first echo.
    void theViewStaysWithinTheHistory() {
        form->chart->showRange(kNow - 2 * kHour, kNow - kHour);
        form->chart->panBy(3 * kHour);
        QCOMPARE(view().toMs(), kNow);
        QVERIFY(!view().live());
        form->chart->zoomAt(1e-6, kNow - kHour);
        QCOMPARE(view().spanMs(), HistoryViewport::MinSpanMs);
        form->chart->zoomAt(1e6, kNow - kHour);
        QCOMPARE(view().fromMs(), kNow - 30 * kDay);
        QCOMPARE(view().toMs(), kNow);
        form->chart->panBy(-kDay);
        QCOMPARE(view().fromMs(), kNow - 30 * kDay);
    }

    void liveFollowsTheClock() {
        now += 5000;
        form->refresh();
        QCOMPARE(view().toMs(), now);
        settle();
        // The newest seconds are asked for again as they fill.
        QVERIFY(form->chart->plot().shownColumns().echoes() > 0);
        form->btnLive->click();
        QVERIFY(!view().live());
        now += 5000;
        form->refresh();
        QCOMPARE(view().toMs(), now - 5000);
    }

    // The blackhole: red from top to bottom, its outage in the lane in its
    // cause's colour and tinted behind the smoke where the echoes came back.
    void thePictureShowsLossOutagesAndRoundTrips() {
        form->setOutages({outage(kHole, kHole + 12 * kMinute)});
        form->chart->showRange(kHole - 25 * kMinute, kHole + 35 * kMinute);
        settle();
        const QImage image = form->chart->image();
        const QRect p = plot();
        const QRgb red = HistoryPlot::Loss.rgb();
        for (qint64 t = kHole + 30'000; t < kHole + 10 * kMinute - 30'000; t += 30'000) {
            QCOMPARE(image.pixel(column(t), p.bottom()), red);
            QCOMPARE(image.pixel(column(t), p.top() + 1), red);
            QCOMPARE(image.pixel(column(t), p.top() - qRound(6 * scale)),
                     report::causeColour(cause::BeyondGateway).rgb());
        }
        int tinted = 0;
        const int first = column(kHole + 10 * kMinute + 30'000);
        const int last = column(kHole + 12 * kMinute - 30'000);
        for (int x = first; x < last; ++x)
            tinted += qRed(image.pixel(x, p.top() + 1)) > qGreen(image.pixel(x, p.top() + 1)) + 10;
        QVERIFY2(tinted > (last - first) * 3 / 4, qPrintable(QString::number(tinted)));
        const QRgb before = image.pixel(column(kHole - 20 * kMinute), p.top() + 1);
        QVERIFY(qRed(before) <= qGreen(before));

        // The axis fits the round trips (14 to 20 ms here), not the time-out:
        // the median line lies well above the bottom.
        const double top = form->chart->plot().scale().topMs();
        QVERIFY2(top > 15 && top <= 50, qPrintable(QString::number(top)));
        const int x = column(kHole - 15 * kMinute);
        int line = -1;
        for (int y = p.top(); y <= p.bottom() && line < 0; ++y)
            if (qRed(image.pixel(x, y)) < 90 && qBlue(image.pixel(x, y)) > qRed(image.pixel(x, y)))
                line = y;
        QVERIFY2(line >= 0 && p.bottom() - line > p.height() * 0.4, qPrintable(QString::number(line)));
    }

    // Drawn in the screen's pixels: the frame is one of them wide.
    void sharpAtTheScreensDensity() {
        const QImage image = form->chart->image();
        QCOMPARE(image.devicePixelRatio(), scale);
        QCOMPARE(image.size(), form->chart->size() * scale);
        const QRect p = plot();
        QCOMPARE(image.pixel(p.left() - 1, p.center().y()), qRgb(0x9a, 0xa5, 0xb1));
        QCOMPARE(image.pixel(p.left() - 2, p.center().y()), HistoryPlot::Background.rgb());
    }

    void hoverReadsOutTheColumn() {
        form->setOutages({outage(kHole, kHole + 12 * kMinute)});
        form->chart->showRange(kHole - 25 * kMinute, kHole + 35 * kMinute);
        settle();
        moveTo(pointAt(kHole + 5 * kMinute));
        const QRegularExpression lost(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d – \\d\\d:\\d\\d:\\d\\d: (\\d+) echoes, (\\d+) "
                           "lost · Outage: Beyond the gateway$"));
        const QRegularExpressionMatch m = lost.match(form->lbReadout->text());
        QVERIFY2(m.hasMatch(), qPrintable(form->lbReadout->text()));
        QCOMPARE(m.captured(1), m.captured(2));
        moveTo(pointAt(kHole - 10 * kMinute));
        QVERIFY2(QRegularExpression(
                     QStringLiteral(
                         ": \\d+ echoes, \\d+ lost · min \\d+\\.\\d ms, median \\d+\\.\\d ms, max \\d+(\\.\\d)? ms$"))
                     .match(form->lbReadout->text())
                     .hasMatch(),
                 qPrintable(form->lbReadout->text()));
        // Off the plot: the view's sums.
        moveTo(QPoint(2, 2));
        QVERIFY2(form->lbReadout->text().contains(QStringLiteral(" echoes in view, ")),
                 qPrintable(form->lbReadout->text()));
    }

    void exportsTheViewAndItsEchoes() {
        form->chart->showRange(kNow - 3 * kMinute, kNow - kMinute);
        settle();
        dialogs.answers = {dir.filePath(QStringLiteral("view"))};
        form->btnExportImage->click();
        QCOMPARE(QImage(dir.filePath(QStringLiteral("view.png"))).size(), form->chart->size() * scale);
        QVERIFY(dialogs.calls[0].proposedName.startsWith(QStringLiteral("History router.lan ")));

        for (const char* name : {"echoes", "echoes.jsonl"}) {
            QSignalSpy finished(form.get(), &THistoryForm::exportFinished);
            dialogs.answers = {dir.filePath(QString::fromLatin1(name))};
            form->btnExportEchoes->click();
            QVERIFY(finished.wait(10000));
            QVERIFY(finished[0][1].toBool());
            const QString path = finished[0][0].toString();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QBuffer expected;
            expected.open(QIODevice::WriteOnly);
            history::exportEchoes(synthetic, QStringLiteral("router.lan"), kNow - 3 * kMinute, kNow - kMinute,
                                  history::formatForFile(path), expected);
            QCOMPARE(file.readAll(), expected.data());
            QCOMPARE(expected.data().count('\n'), path.endsWith(QStringLiteral(".csv")) ? 121 : 120);
        }
        QVERIFY(boxes.errors.isEmpty());
    }

    // The echoes reach the file seconds after they are sent, and reading
    // takes time: a tick reads the newest buckets once, not on and on while
    // the clock moves during each read, and reads the last seconds again
    // once they are written.
    void theNewestSecondsAreReadOnceATick() {
        std::atomic<qint64> clock = kNow;
        WrittenHistory writing(synthetic, clock);
        const auto closeFirst = qScopeGuard([this] { form.reset(); });
        writing.written = kNow - 2000;
        form = std::make_unique<THistoryForm>(nullptr, &writing, &dialogs);
        form->setClock([&clock] { return QDateTime::fromMSecsSinceEpoch(clock); });
        form->setWatchedHost(QStringLiteral("router.lan"));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        settle();
        const int reads = writing.reads;
        clock += 1000;
        form->refresh();
        settle();
        QCOMPARE(writing.reads - reads, 1);

        // A minute, in buckets of tens of ms; the echoes end at kNow + 1 s.
        form->chart->showRange(clock - kMinute, clock);
        settle();
        form->chart->image();
        const int before = form->chart->plot().shownColumns().echoes();
        writing.written = clock.load();
        clock += 1000;
        form->refresh();
        settle();
        form->chart->image();
        // Every echo of the minute is shown, the late ones too.
        const int shown = form->chart->plot().shownColumns().echoes();
        const int held = synthetic.buckets(QStringLiteral("router.lan"), view().fromMs(), view().toMs(), 1)[0].echoes;
        QVERIFY2(shown > before && shown >= held,
                 qPrintable(QStringLiteral("%1, then %2 of %3").arg(before).arg(shown).arg(held)));
    }

    // On a slow disk the window pans at once, drawing what it has cached.
    void panningNeverWaitsForTheHistory() {
        SlowHistory slow(synthetic, 250);
        // The window (and its fetcher's thread) goes before the history it
        // reads, however the test ends.
        const auto closeFirst = qScopeGuard([this] { form.reset(); });
        open(slow);
        form->chart->showRange(kNow - 10 * kHour, kNow - 9 * kHour);
        settle();
        // A pan that waited for the history would take its 250 ms; each
        // takes only its drawing (tens of ms, more under the sanitizers).
        for (int i = 0; i < 6; ++i) {
            QElapsedTimer clock;
            clock.start();
            QTest::keyClick(form->chart, Qt::Key_Left);
            form->chart->image();
            QVERIFY(form->chart->plot().shownColumns().echoes() > 0);
            QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        }
        QVERIFY(!form->fetchesDone());
        settle();
        form->chart->image();
        QVERIFY(form->chart->plot().shownColumns().echoes() > 3000);
        form.reset();
    }
};

LINKVIGIL_TEST_MAIN(TestHistoryWindow)
#include "TestHistoryWindow.moc"
