#include "MonitorFixture.h"
#include "TestMain.h"
#include "icmp/AddressText.h"
#include "resources/Icons.h"
#include "widgets/TChartBox.h"
#include "widgets/TGauge.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>

// The windows on a high-density screen: run once with QT_SCALE_FACTOR=1 and
// once with 2. Layout stays in logical pixels; the chart and the icons are
// drawn in the screen's own pixels, with hard edges.
class TestHiDpi : public QObject {
    Q_OBJECT

    qreal scale = 1;

    // Every pixel of `area` is one of the chart's colours: nothing blended.
    static bool onlyChartColours(const QImage& image, const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (const QRgb c = image.pixel(x, y); c != ChartCanvas::Navy && c != ChartCanvas::Teal &&
                                                      c != ChartCanvas::Red && c != ChartCanvas::Black)
                    return false;
        return true;
    }
    // Startup, answers, losses, waiting lines and more than one sweep; the
    // ratio changes to `ratio` half-way.
    static void steps(ChartCanvas& chart, qreal ratio) {
        int column = 0;
        int waits = 0;
        chart.StartupFill();
        for (int i = 0; i < 400; ++i) {
            if (i % 7 == 3)
                for (waits = 1; waits <= 2; ++waits)
                    chart.WaitingStep(column, waits);
            waits = i % 7 == 3 ? 2 : 0;
            chart.ReplyStep(column, waits, i % 11 != 0, std::uint32_t(i * 37 % 1500), 1000);
            if (i == 150)
                chart.setDevicePixelRatio(ratio);
        }
    }

    // The contrast ratio of two colours, from 1 (alike) to 21 (black on
    // white), by their relative luminance in sRGB.
    static double contrast(QRgb a, QRgb b) {
        const auto luminance = [](QRgb c) {
            const auto linear = [](int v) {
                const double s = v / 255.0;
                return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
        };
        const double first = luminance(a);
        const double second = luminance(b);
        return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
    }

private slots:
    void initTestCase() { scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble(); }

    // At ratio 1 the device image is the model pixel for pixel; at 2 each
    // model pixel is a 2 x 2 block, whichever ratio the chart began with.
    void canvasDrawsTheModelInWholeDevicePixels() {
        for (const qreal first : {1.0, 2.0}) {
            const qreal last = 3 - first;
            ChartCanvas chart;
            chart.setDevicePixelRatio(first);
            steps(chart, last);
            QCOMPARE(chart.image().size(), QSize(345, 97));
            QImage blocks = chart.image().scaled(QSize(345, 97) * last, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            blocks.setDevicePixelRatio(last);
            QCOMPARE(chart.deviceImage(), blocks);
        }
        // At 1.5 columns are one or two device pixels wide, and drawing step
        // by step gives what drawing anew from the model gives.
        ChartCanvas chart;
        steps(chart, 1.5);
        const QImage stepped = chart.deviceImage();
        QCOMPARE(stepped.size(), QSize(518, 146));
        QVERIFY(onlyChartColours(stepped, stepped.rect()));
        chart.setDevicePixelRatio(1);
        chart.setDevicePixelRatio(1.5);
        QCOMPARE(chart.deviceImage(), stepped);
    }

    void mainWindowAtTheScreensDensity() {
        MonitorFixture f;
        f.create();
        TMainForm* m = f.main.get();
        f.startWatching(QStringLiteral("192.0.2.1"));
        // Time-out 1000: 500 ms is 48 rows (top row 50), 250 ms 24 (top row 74).
        for (std::uint32_t rtt : {500u, 250u, 500u}) {
            f.echo->answers.push_back(FakeEcho::answered(inet::parse(QStringLiteral("192.0.2.1")), rtt, 56));
            m->Engine->TimerTimer();
        }
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        QCOMPARE(m->devicePixelRatioF(), scale); // the platform honours the scale
        QCOMPARE(m->size(), QSize(427, 293));
        QCOMPARE(m->FBox->geometry(), QRect(4, 4, 345, 97));
        QCOMPARE(m->StartButton->geometry(), QRect(152, 136, 65, 25));
        const QImage shot = m->grab().toImage();
        QCOMPARE(shot.size(), QSize(427, 293) * scale);
        QCOMPARE(m->Chart.deviceImage().size(), QSize(345, 97) * scale);

        const auto device = [&](qreal logical) { return int(logical * scale); };
        // The gauge's black frame is one logical pixel, inside and out.
        const QRect gauge = m->ggReliab->geometry();
        for (int y = device(gauge.top()); y < device(gauge.bottom() + 1); ++y) {
            const bool frame = y < device(gauge.top() + 1) || y >= device(gauge.bottom());
            QCOMPARE(shot.pixel(device(gauge.left() + 2), y) == qRgb(0, 0, 0), frame);
        }
        // Each bar's top on its row, over navy: a hard edge.
        const QPoint origin = m->FBox->mapTo(m, QPoint(0, 0));
        const int tops[] = {50, 74, 50};
        for (int column = 0; column < 3; ++column) {
            const int x = device(origin.x() + column + 0.5);
            int top = device(origin.y() + 1);
            while (top < device(origin.y() + 97) && shot.pixel(x, top) != ChartCanvas::Teal)
                ++top;
            QVERIFY2(std::abs(top - device(origin.y() + tops[column])) <= 1, qPrintable(QString::number(top)));
            QCOMPARE(shot.pixel(x, top - 1), ChartCanvas::Navy);
        }
        // No colour blended across an edge, as an image scaled up would have.
        QVERIFY(onlyChartColours(shot, QRect(origin * scale, QSize(345, 97) * scale)));

        // Icons: drawn from the SVG at the screen's density.
        QCOMPARE(f.warn->Image1->pixmap().devicePixelRatio(), scale);
        const QPixmap warning = icons::pixmap(icons::warning(), 32);
        QCOMPARE(warning.devicePixelRatio(), scale);
        QCOMPARE(warning.size(), QSize(32, 32) * scale);
        QCOMPARE(m->StartButton->icon().pixmap(QSize(16, 16), scale).size(), QSize(16, 16) * scale);
    }

    // The gauge's text stands out from the bar and from the white beside it
    // wherever it lies: at 50 % the bar's edge runs through it.
    void gaugeTextReadsOverBothParts_data() {
        QTest::addColumn<int>("value");
        for (const int value : {0, 45, 50, 55, 100})
            QTest::addRow("%d", value) << value;
    }
    void gaugeTextReadsOverBothParts() {
        QFETCH(int, value);
        MonitorFixture f;
        f.create();
        TGauge* gauge = f.main->ggReliab;
        gauge->SetProgress(value);
        const QImage shot = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // In device pixels: inside the frame, and where the bar ends.
        const auto device = [&](int logical) { return int(logical * scale); };
        const QRect inner(device(1), device(1), device(gauge->width() - 2), device(gauge->height() - 2));
        const int edge = device(1 + (gauge->width() - 2) * value / 100);
        const QRgb backgrounds[] = {qRgb(0, 0, 128), qRgb(255, 255, 255)};
        int textPixels[2] = {};
        double best[2] = {};
        for (int y = inner.top(); y <= inner.bottom(); ++y)
            for (int x = inner.left(); x <= inner.right(); ++x) {
                const int side = x < edge ? 0 : 1;
                const QRgb pixel = shot.pixel(x, y);
                if (pixel == backgrounds[side])
                    continue;
                ++textPixels[side];
                best[side] = std::max(best[side], contrast(pixel, backgrounds[side]));
            }
        QVERIFY(textPixels[0] + textPixels[1] > 20 * scale * scale);
        if (value == 50)
            QVERIFY(textPixels[0] > 0 && textPixels[1] > 0);
        for (int side : {0, 1})
            if (textPixels[side] > 0)
                QVERIFY2(best[side] >= 7, qPrintable(QStringLiteral("side %1: %2").arg(side).arg(best[side])));
    }
};

LINKVIGIL_TEST_MAIN(TestHiDpi)
#include "TestHiDpi.moc"
