#include "resources/Icons.h"

#include <QColor>
#include <QImage>
#include <QTest>

namespace {

struct Entry {
    const char* name;
    QIcon (*make)();
};

const Entry kIcons[] = {
    {"checkMark", icons::checkMark}, {"cross", icons::cross},   {"eyes", icons::eyes},
    {"floppy", icons::floppy},       {"folder", icons::folder}, {"warning", icons::warning},
    {"program", icons::program},
};

// Share of the visible pixels of image that pass test.
template <typename Test> double share(const QImage& image, Test test) {
    int visible = 0;
    int matching = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (color.alpha() < 128)
                continue;
            ++visible;
            if (test(color))
                ++matching;
        }
    return visible ? double(matching) / visible : 0.0;
}

bool hueBetween(const QColor& c, int from, int to) {
    return c.hsvSaturation() > 100 && c.value() > 60 && c.hsvHue() >= from && c.hsvHue() <= to;
}
bool green(const QColor& c) {
    return hueBetween(c, 90, 150);
}
bool red(const QColor& c) {
    return c.hsvSaturation() > 100 && c.value() > 60 && (c.hsvHue() <= 12 || c.hsvHue() >= 345);
}
bool yellow(const QColor& c) {
    return hueBetween(c, 35, 60);
}
bool orangeOrYellow(const QColor& c) {
    return hueBetween(c, 25, 60);
}
bool blue(const QColor& c) {
    return hueBetween(c, 200, 230);
}
bool black(const QColor& c) {
    return c.value() < 50;
}

QImage render(QIcon (*make)(), int size) {
    return icons::pixmap(make(), size).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestIcons : public QObject {
    Q_OBJECT
private slots:
    void rendersAtEverySize_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("size");
        for (int i = 0; i < int(std::size(kIcons)); ++i)
            for (int size : {16, 32, 64})
                QTest::addRow("%s %d", kIcons[i].name, size) << i << size;
        const int program = int(std::size(kIcons)) - 1;
        QTest::newRow("program 256") << program << 256;
    }
    void rendersAtEverySize() {
        QFETCH(int, index);
        QFETCH(int, size);
        const QIcon icon = kIcons[index].make();
        QVERIFY(!icon.isNull());
        const QImage image = render(kIcons[index].make, size);
        QCOMPARE(image.size(), QSize(size, size));
        int visible = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                visible += qAlpha(image.pixel(x, y)) >= 128;
        // Fills a fair part of its square, and is not a filled square.
        QVERIFY2(visible > size * size / 5, qPrintable(QString::number(visible)));
        QVERIFY2(visible < size * size * 95 / 100, qPrintable(QString::number(visible)));
    }

    void colours() {
        const QImage check = render(icons::checkMark, 32);
        QVERIFY(share(check, green) > 0.6);
        QVERIFY(share(check, red) == 0.0);

        const QImage cross = render(icons::cross, 32);
        QVERIFY(share(cross, red) > 0.6);
        QVERIFY(share(cross, green) == 0.0);

        const QImage warning = render(icons::warning, 32);
        QVERIFY(share(warning, yellow) > 0.5);
        QVERIFY(share(warning, black) > 0.05);

        QVERIFY(share(render(icons::folder, 32), orangeOrYellow) > 0.7);
        QVERIFY(share(render(icons::floppy, 32), blue) > 0.3);

        for (int size : {16, 256}) {
            const QImage program = render(icons::program, size);
            QVERIFY(share(program, blue) > 0.15);
            QVERIFY(share(program, [](const QColor& c) {
                        return c.hsvHue() <= 10 && c.hsvSaturation() > 100 && c.value() < 170;
                    }) > 0.15);
        }
    }

    // The first pixel rows of the warning sign are mostly empty: a triangle
    // with its point at the top, not a box.
    void warningIsTriangle() {
        const QImage image = render(icons::warning, 32);
        auto rowWidth = [&](int y) {
            int n = 0;
            for (int x = 0; x < 32; ++x)
                n += qAlpha(image.pixel(x, y)) >= 128;
            return n;
        };
        QVERIFY(rowWidth(5) < rowWidth(15));
        QVERIFY(rowWidth(15) < rowWidth(26));
        QVERIFY(rowWidth(26) > 24);
    }
};

QTEST_MAIN(TestIcons)
#include "TestIcons.moc"
