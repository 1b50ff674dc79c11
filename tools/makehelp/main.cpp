// linkvigil-makehelp: lays out the user guide from its Markdown text with
// Qt's text engine and prints it to a PDF file: A4, a title block with the
// version, a contents list, drawn figures of the windows, a running header
// and "Page N of M" in the footer.
//
//   linkvigil-makehelp INPUT.md OUTPUT.pdf
//
// Needs no display: without QT_QPA_PLATFORM it uses the offscreen platform.
// A figure is written in the text as ![caption](figure:NAME); nothing else is
// loaded from anywhere. The PDF only replaces OUTPUT once it is complete.

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#ifndef LINKVIGIL_VERSION
#define LINKVIGIL_VERSION "0.0.0"
#endif

namespace {

// ---------------------------------------------------------------------------
// Page geometry and typography

constexpr int kDpi = 300;
constexpr double kMarginLeftMm = 20;
constexpr double kMarginRightMm = 20;
constexpr double kMarginTopMm = 20;
constexpr double kMarginBottomMm = 22;
// Baselines of the running header and the footer, from the page's edges.
constexpr double kHeaderBaselineMm = 12;
constexpr double kFooterBaselineMm = 11;

constexpr double kBodyPoints = 10;
constexpr double kCodePoints = 8.8;
constexpr double kTablePoints = 9;

const QColor kHeadingColour(0x1d, 0x35, 0x57);
const QColor kRuleColour(0x9a, 0xa5, 0xb1);
const QColor kCodeBackground(0xf1, 0xf3, 0xf6);
const QColor kTableHeaderBackground(0xe4, 0xe9, 0xef);
const QColor kQuietText(0x55, 0x5f, 0x6b);

QString version() {
    return QString::fromLatin1(LINKVIGIL_VERSION);
}

double mmToDevice(double mm) {
    return mm / 25.4 * kDpi;
}

// Lengths in text formats are layout pixels, 96 to the inch; the layout
// scales them to the printer's resolution.
double pt(double points) {
    return points * 96.0 / 72.0;
}

QStringList sansFamilies() {
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans"),
            QStringLiteral("Noto Sans")};
}

QStringList monoFamilies() {
    return {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Mono"),
            QStringLiteral("Nimbus Mono PS")};
}

QFont sansFont(double points, bool bold = false) {
    QFont font;
    font.setFamilies(sansFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont sansPixels(double pixels, bool bold = false, bool italic = false) {
    QFont font;
    font.setFamilies(sansFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void fail(const QString& message) {
    std::fprintf(stderr, "linkvigil-makehelp: %s\n", message.toLocal8Bit().constData());
}

// ---------------------------------------------------------------------------
// Figures: the windows drawn from their layouts, with numbered markers that
// the text refers to. Coordinates are the windows' own pixels.

enum class Icon { None, Check, Cross, Floppy, Eyes };

// The buttons' small pictures, in a 16 x 16 box.
void drawIcon(QPainter& p, QPointF topLeft, Icon icon, bool enabled) {
    p.save();
    p.translate(topLeft);
    const auto colour = [enabled](QColor c) { return enabled ? c : QColor(0xa8, 0xa8, 0xa8); };
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Check: {
        p.setPen(QPen(colour(QColor(0x2e, 0x9b, 0x3a)), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF points[] = {{3, 8.5}, {6.5, 12}, {13, 4}};
        p.drawPolyline(points, 3);
        break;
    }
    case Icon::Cross:
        p.setPen(QPen(colour(QColor(0xd2, 0x3a, 0x2a)), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Icon::Floppy:
        p.setPen(QPen(colour(QColor(0x1f, 0x3f, 0x75)), 0.8));
        p.setBrush(colour(QColor(0x2f, 0x5f, 0xa7)));
        p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.2, 1.2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xdd, 0xe4, 0xee));
        p.drawRect(QRectF(4.5, 2.5, 6.5, 4));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 9, 8, 4.5));
        break;
    case Icon::Eyes:
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 0.9));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1.5, 3.5, 6.5, 9));
        p.drawEllipse(QRectF(8, 3.5, 6.5, 9));
        p.setBrush(QColor(0x20, 0x20, 0x20));
        p.drawEllipse(QPointF(5.6, 8.5), 1.6, 1.6);
        p.drawEllipse(QPointF(12.1, 8.5), 1.6, 1.6);
        break;
    }
    p.restore();
}

// The warning sign of the warning window, in a 32 x 32 box.
void drawWarningSign(QPainter& p, QPointF topLeft) {
    p.save();
    p.translate(topLeft);
    QPainterPath sign;
    sign.moveTo(16, 3);
    sign.lineTo(30.5, 28.5);
    sign.lineTo(1.5, 28.5);
    sign.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x64, 0x00), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xf7, 0xc5, 0x1e));
    p.drawPath(sign);
    p.setPen(QPen(QColor(0x11, 0x11, 0x11), 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 11), QPointF(16, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x11, 0x11, 0x11));
    p.drawEllipse(QPointF(16, 24), 2, 2);
    p.restore();
}

class Sketch {
public:
    // A window of w x h client pixels with a title bar, drawn at `scale`
    // image pixels per window pixel; without a close box, with a minimize
    // box instead.
    Sketch(int w, int h, double scale, const QString& title, bool closeBox = true)
        : m_image(int(std::ceil((w + 2 * kFrame + 2 * kOuter) * scale)),
                  int(std::ceil((h + kTitle + kFrame + 2 * kOuter) * scale)), QImage::Format_RGB32) {
        m_image.fill(Qt::white);
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_painter.scale(scale, scale);
        // The frame and the title bar.
        const QRectF outer(kOuter, kOuter, w + 2 * kFrame, h + kTitle + kFrame);
        m_painter.setPen(QPen(QColor(0x5b, 0x64, 0x70), 1.0));
        m_painter.setBrush(QColor(0x3b, 0x4a, 0x5e));
        m_painter.drawRoundedRect(outer, 4, 4);
        m_painter.setPen(Qt::white);
        m_painter.setFont(sansPixels(12, true));
        m_painter.drawText(QRectF(outer.left() + 10, outer.top(), w - 60, kTitle), Qt::AlignVCenter | Qt::AlignLeft,
                           title);
        m_painter.setPen(QPen(Qt::white, 1.4));
        const QPointF box(outer.right() - 14, outer.top() + kTitle / 2);
        if (closeBox) {
            m_painter.drawLine(box + QPointF(-4, -4), box + QPointF(4, 4));
            m_painter.drawLine(box + QPointF(-4, 4), box + QPointF(4, -4));
        } else {
            m_painter.drawLine(box + QPointF(-4, 3), box + QPointF(4, 3));
        }
        // The client area; from here on, window coordinates.
        m_painter.translate(kOuter + kFrame, kOuter + kTitle);
        m_painter.fillRect(QRectF(0, 0, w, h), QColor(0xef, 0xef, 0xef));
    }

    QPainter& painter() { return m_painter; }

    QImage finish() {
        m_painter.end();
        return m_image;
    }

    // Text at (x, y) as the top-left corner of a line of the window font.
    void text(double x, double y, const QString& s, const QFont& font = windowFont(), const QColor& colour = Qt::black,
              double width = 0, Qt::Alignment align = Qt::AlignLeft) {
        m_painter.setFont(font);
        m_painter.setPen(colour);
        const double height = QFontMetricsF(font).height();
        if (width <= 0)
            width = QFontMetricsF(font).horizontalAdvance(s) + 2;
        m_painter.drawText(QRectF(x, y, width, height), align | Qt::AlignTop, s);
    }

    void heading(double x, double y, const QString& s) { text(x, y, s, sansPixels(13, true, true)); }

    void link(double x, double y, const QString& s) {
        QFont font = windowFont();
        font.setUnderline(true);
        text(x, y, s, font, QColor(0, 0, 255));
    }

    void field(const QRectF& r, const QString& s, bool framed = true) {
        m_painter.setPen(QPen(QColor(0x8a, 0x8a, 0x8a), 1));
        m_painter.setBrush(Qt::white);
        if (framed)
            m_painter.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
        fitted(r.adjusted(4, 0, -4, 0), s, Qt::AlignVCenter | Qt::AlignLeft, Qt::black);
    }

    void combo(const QRectF& r, const QString& s) {
        field(r, s);
        arrowButton(QRectF(r.right() - 17, r.top() + 1, 16, r.height() - 2));
    }

    void spin(const QRectF& r, const QString& s) {
        field(r, s);
        const QRectF b(r.right() - 13, r.top() + 1, 12, r.height() - 2);
        m_painter.fillRect(b, QColor(0xe3, 0xe3, 0xe3));
        m_painter.setPen(QPen(QColor(0x8a, 0x8a, 0x8a), 0.8));
        m_painter.drawLine(QPointF(b.left(), b.center().y()), QPointF(b.right(), b.center().y()));
        triangle(QPointF(b.center().x(), b.top() + b.height() * 0.25), 2.5, true);
        triangle(QPointF(b.center().x(), b.top() + b.height() * 0.75), 2.5, false);
    }

    // A file name field with its folder button at the right end.
    void fileField(const QRectF& r, const QString& s) {
        field(r, s);
        const QRectF b(r.right() - 20, r.top() + 2, 18, r.height() - 4);
        m_painter.fillRect(b, QColor(0xe3, 0xe3, 0xe3));
        folder(b.center());
    }

    void button(const QRectF& r, const QString& s, Icon icon = Icon::None, bool enabled = true,
                bool isDefault = false) {
        m_painter.setPen(QPen(isDefault ? QColor(0x30, 0x60, 0xa0) : QColor(0x8a, 0x8a, 0x8a), 1));
        m_painter.setBrush(QColor(0xe6, 0xe6, 0xe6));
        m_painter.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        const QColor ink = enabled ? QColor(Qt::black) : QColor(0xa0, 0xa0, 0xa0);
        if (icon == Icon::None) {
            fitted(r, s, Qt::AlignCenter, ink);
            return;
        }
        const double textWidth = QFontMetricsF(windowFont()).horizontalAdvance(s);
        const double left = r.center().x() - (16 + 4 + textWidth) / 2;
        drawIcon(m_painter, QPointF(left, r.center().y() - 8), icon, enabled);
        fitted(QRectF(left + 20, r.top(), textWidth + 2, r.height()), s, Qt::AlignVCenter | Qt::AlignLeft, ink);
    }

    void speakerButton(const QRectF& r) {
        m_painter.setPen(QPen(QColor(0x8a, 0x8a, 0x8a), 1));
        m_painter.setBrush(QColor(0xe6, 0xe6, 0xe6));
        m_painter.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        const QPointF c = r.center();
        QPainterPath body;
        body.moveTo(c + QPointF(-6, -2));
        body.lineTo(c + QPointF(-3, -2));
        body.lineTo(c + QPointF(1, -5.5));
        body.lineTo(c + QPointF(1, 5.5));
        body.lineTo(c + QPointF(-3, 2));
        body.lineTo(c + QPointF(-6, 2));
        body.closeSubpath();
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(QColor(0x3c, 0x3c, 0x3c));
        m_painter.drawPath(body);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.setPen(QPen(QColor(0x1e, 0x5a, 0xc8), 1.1));
        m_painter.drawArc(QRectF(c.x() - 1, c.y() - 3, 5, 6), -60 * 16, 120 * 16);
        m_painter.drawArc(QRectF(c.x() - 2, c.y() - 5.5, 9, 11), -60 * 16, 120 * 16);
    }

    void check(double x, double y, const QString& s, bool checked, double width) {
        const QRectF box(x + 1, y + 2, 12, 12);
        m_painter.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
        m_painter.setBrush(Qt::white);
        m_painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        if (checked) {
            m_painter.setPen(QPen(Qt::black, 1.6));
            m_painter.drawLine(box.topLeft() + QPointF(2.5, 6), box.topLeft() + QPointF(5, 9));
            m_painter.drawLine(box.topLeft() + QPointF(5, 9), box.topLeft() + QPointF(9.5, 3));
        }
        fitted(QRectF(x + 18, y, width - 18, 17), s, Qt::AlignVCenter | Qt::AlignLeft, Qt::black);
    }

    void group(const QRectF& r, const QString& title) {
        m_painter.setPen(QPen(QColor(0xa8, 0xa8, 0xa8), 1));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(r.adjusted(0.5, 7.5, -0.5, -0.5));
        const double w = QFontMetricsF(windowFont()).horizontalAdvance(title) + 6;
        m_painter.fillRect(QRectF(r.left() + 8, r.top(), w, 14), QColor(0xef, 0xef, 0xef));
        text(r.left() + 11, r.top(), title);
    }

    // A numbered marker centred on (x, y).
    void marker(double x, double y, int number) {
        const double radius = 7;
        m_painter.setPen(QPen(Qt::white, 1.2));
        m_painter.setBrush(QColor(0xc4, 0x4e, 0x00));
        m_painter.drawEllipse(QPointF(x, y), radius, radius);
        m_painter.setPen(Qt::white);
        m_painter.setFont(sansPixels(number >= 10 ? 8.5 : 10, true));
        m_painter.drawText(QRectF(x - radius, y - radius, 2 * radius, 2 * radius), Qt::AlignCenter,
                           QString::number(number));
    }

    static QFont windowFont() { return sansPixels(11); }

private:
    static constexpr double kOuter = 6;  // white space around the window
    static constexpr double kFrame = 3;  // the window's frame
    static constexpr double kTitle = 24; // the title bar

    // Text in a rectangle, condensed as far as needed to fit its width.
    void fitted(const QRectF& r, const QString& s, Qt::Alignment align, const QColor& colour) {
        QFont font = windowFont();
        const double natural = QFontMetricsF(font).horizontalAdvance(s);
        if (natural > r.width() && natural > 0)
            font.setStretch(std::max(60, int(100 * r.width() / natural)));
        m_painter.setFont(font);
        m_painter.setPen(colour);
        m_painter.drawText(r, align, s);
    }

    void triangle(QPointF c, double size, bool up) {
        QPainterPath path;
        const double dy = up ? -size / 2 : size / 2;
        path.moveTo(c.x() - size, c.y() - dy);
        path.lineTo(c.x() + size, c.y() - dy);
        path.lineTo(c.x(), c.y() + dy);
        path.closeSubpath();
        m_painter.fillPath(path, QColor(0x30, 0x30, 0x30));
    }

    void arrowButton(const QRectF& r) {
        m_painter.fillRect(r, QColor(0xe3, 0xe3, 0xe3));
        triangle(r.center(), 3.5, false);
    }

    void folder(QPointF c) {
        QPainterPath path;
        path.moveTo(c + QPointF(-6, -4));
        path.lineTo(c + QPointF(-2, -4));
        path.lineTo(c + QPointF(-1, -3));
        path.lineTo(c + QPointF(6, -3));
        path.lineTo(c + QPointF(6, 4));
        path.lineTo(c + QPointF(-6, 4));
        path.closeSubpath();
        m_painter.setPen(QPen(QColor(0x9a, 0x74, 0x1a), 0.8));
        m_painter.setBrush(QColor(0xf2, 0xc9, 0x4c));
        m_painter.drawPath(path);
    }

    QImage m_image;
    QPainter m_painter;
};

// The response-time chart: teal bars on navy, a lost echo at full height,
// the red cursor after the last reply.
void drawChart(QPainter& p, const QRectF& r) {
    const QColor navy(0, 0, 128);
    const QColor teal(0, 128, 128);
    p.fillRect(r, navy);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    // Round trips in per cent of the time-out: mostly quick, some slower,
    // a few losses.
    const int columns = int(r.width()) - 2;
    const int drawn = columns * 62 / 100;
    for (int x = 0; x < drawn; ++x) {
        const double wave = 0.5 + 0.5 * std::sin(x * 0.21) * std::sin(x * 0.047 + 1.0);
        double share = 0.04 + 0.05 * wave + ((x * 37) % 11) * 0.004;
        if (x > 120 && x < 150)
            share += 0.18 + 0.1 * std::sin(x * 0.5);
        if (x == 131 || x == 138 || x == 139 || x == 176)
            share = 1.0;
        const double h = std::max(2.0, std::round(share * (r.height() - 2)));
        p.fillRect(QRectF(r.left() + 1 + x, r.bottom() - 1 - h, 1, h), teal);
    }
    p.fillRect(QRectF(r.left() + 1 + drawn, r.top() + 1, 1, r.height() - 2), QColor(255, 0, 0));
}

void drawGauge(QPainter& p, const QRectF& r, int percent) {
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
    p.setBrush(Qt::white);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    const QRectF bar(inner.left(), inner.top(), inner.width() * percent / 100.0, inner.height());
    p.fillRect(bar, QColor(0, 0, 128));
    const QString label = QStringLiteral("%1%").arg(percent);
    p.setFont(Sketch::windowFont());
    p.save();
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(inner, Qt::AlignCenter, label);
    p.restore();
    p.save();
    p.setClipRect(QRectF(bar.right(), inner.top(), inner.right() - bar.right(), inner.height()));
    p.setPen(Qt::black);
    p.drawText(inner, Qt::AlignCenter, label);
    p.restore();
}

QImage mainWindowFigure() {
    Sketch s(427, 293, 3, QStringLiteral("Connection 97%"));
    QPainter& p = s.painter();
    s.heading(8, 8, QStringLiteral("Check connection to:"));
    s.combo({152, 8, 257, 21}, QStringLiteral("192.0.2.10"));
    s.text(152, 32, QStringLiteral("192.0.2.10"));
    s.heading(8, 56, QStringLiteral("Interval in msec:"));
    s.field({152, 56, 137, 21}, QStringLiteral("1000"));
    s.heading(8, 80, QStringLiteral("Time-out in msec:"));
    s.field({152, 80, 137, 21}, QStringLiteral("1000"));
    s.button({296, 72, 113, 25}, QStringLiteral("View Log ..."), Icon::Eyes);
    s.button({296, 104, 113, 25}, QStringLiteral("Settings / Logs"));
    s.heading(8, 112, QStringLiteral("Reliability:"));
    drawGauge(p, {152, 112, 137, 17}, 97);
    s.link(8, 136, QStringLiteral("Help File"));
    s.link(64, 136, QStringLiteral("Web Info"));
    s.button({152, 136, 65, 25}, QStringLiteral("Start"), Icon::Check, false);
    s.button({224, 136, 67, 25}, QStringLiteral("Stop"), Icon::Cross);
    s.button({296, 136, 113, 25}, QStringLiteral("Save Settings"), Icon::Floppy);
    s.text(0, 168, QStringLiteral("1000 ms"), Sketch::windowFont(), Qt::black, 47, Qt::AlignRight);
    s.text(0, 215, QStringLiteral("500 ms"), Sketch::windowFont(), Qt::black, 47, Qt::AlignRight);
    s.text(0, 258, QStringLiteral("0 ms"), Sketch::windowFont(), Qt::black, 47, Qt::AlignRight);
    p.fillRect(QRectF(56, 168, 353, 105), QColor(0xd4, 0xd4, 0xd4));
    drawChart(p, {60, 172, 345, 97});
    p.setPen(QPen(QColor(0xb8, 0xb8, 0xb8), 1));
    p.drawLine(QPointF(0, 274.5), QPointF(427, 274.5));
    s.text(4, 277, QStringLiteral("07/12/2026 14:31: Connection 192.0.2.10 rises above 70%"));

    // The markers, in the order the text describes the controls.
    s.marker(418, 18.5, 1);
    s.marker(145.5, 38.5, 2);
    s.marker(145.5, 66.5, 3);
    s.marker(145.5, 90.5, 4);
    s.marker(145.5, 120.5, 5);
    s.marker(145.5, 148.5, 6);
    s.marker(418, 116.5, 7);
    s.marker(418, 84.5, 8);
    s.marker(418, 148.5, 9);
    s.marker(26, 158, 10);
    s.marker(85, 158, 11);
    s.marker(396, 182, 12);
    s.marker(27, 242, 13);
    s.marker(414, 283.5, 14);
    s.marker(118, -12, 15);
    return s.finish();
}

QImage settingsFigure() {
    Sketch s(384, 490, 3, QStringLiteral("Settings"));
    s.check(24, 8, QStringLiteral("Play warning sound when connection falls below 30%"), true, 320);
    s.fileField({48, 32, 289, 21}, QStringLiteral("Carbrake.wav"));
    s.speakerButton({344, 32, 23, 22});
    s.check(48, 58, QStringLiteral("Repeat until confirmed"), true, 150);
    s.text(200, 60, QStringLiteral("Repeat Interval:"));
    s.spin({280, 56, 57, 21}, QStringLiteral("10"));
    s.text(344, 60, QStringLiteral("Sec."));
    s.check(24, 80, QStringLiteral("Play sound when connection is back to more than 70%"), true, 330);
    s.fileField({48, 104, 289, 21}, QStringLiteral("Chimes.wav"));
    s.speakerButton({344, 104, 23, 22});
    s.check(24, 136, QStringLiteral("Log connection details to a file"), true, 233);
    s.group({8, 160, 361, 161}, QStringLiteral("Details"));
    QPainter& p = s.painter();
    p.save();
    p.translate(8, 160);
    s.text(16, 28, QStringLiteral("Log File:"));
    s.fileField({64, 24, 281, 21}, QStringLiteral("/home/anna/linkvigil/Connect.log"));
    s.check(16, 64, QStringLiteral("Log Changes (fall below 30%, rise above 70%)"), true, 280);
    s.check(16, 96, QStringLiteral("Log Averages, use time period:"), true, 188);
    s.field({208, 94, 41, 21}, QStringLiteral("10"));
    s.combo({256, 94, 89, 21}, QStringLiteral("Minutes"));
    s.check(16, 128, QStringLiteral("Limit logfile's size to:"), true, 188);
    s.field({208, 126, 41, 21}, QStringLiteral("30"));
    s.text(256, 130, QStringLiteral("kB"));
    p.restore();
    s.button({152, 336, 75, 25}, QStringLiteral("OK"), Icon::Check, true, true);
    s.group({8, 368, 361, 115}, QStringLiteral("Desktop and network"));
    p.save();
    p.translate(8, 368);
    s.check(16, 20, QStringLiteral("Minimise to the tray when the window is closed"), false, 300);
    s.check(16, 56, QStringLiteral("Show desktop notifications when the connection changes"), true, 329);
    s.check(16, 74, QStringLiteral("Prefer IPv6 for hosts that have both kinds of address"), false, 329);
    s.check(16, 92, QStringLiteral("Trace the path to the host, hop by hop (more packets)"), false, 329);
    p.restore();

    s.marker(14, 16.5, 1);
    s.marker(38, 42.5, 2);
    s.marker(374, 43, 3);
    s.marker(38, 66.5, 4);
    s.marker(374, 66.5, 5);
    s.marker(14, 88.5, 6);
    s.marker(14, 144.5, 7);
    s.marker(14, 194, 8);
    s.marker(14, 232.5, 9);
    s.marker(14, 264.5, 10);
    s.marker(14, 296.5, 11);
    s.marker(140, 348.5, 12);
    s.marker(14, 396.5, 13);
    s.marker(14, 432.5, 14);
    s.marker(14, 450.5, 15);
    s.marker(14, 468.5, 16);
    return s.finish();
}

QImage warningFigure() {
    Sketch s(352, 142, 3, QStringLiteral("Linkvigil Warning"), false);
    drawWarningSign(s.painter(), {8, 16});
    s.text(72, 16, QStringLiteral("Linkvigil Warning"), sansPixels(15, true, true));
    QPainter& p = s.painter();
    p.setFont(Sketch::windowFont());
    p.setPen(Qt::black);
    p.drawText(QRectF(72, 40, 241, 49), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("07/12/2026 14:21: Connection 192.0.2.10 falls below 30%"));
    s.button({144, 104, 75, 25}, QStringLiteral("OK"), Icon::Check, true, true);
    return s.finish();
}

// A figure is drawn here, or (without a drawing) is a picture of the real
// window in the figures folder beside the guide's text, NAME.png.
struct Figure {
    const char* name;
    QImage (*draw)();
    double widthMm; // as printed
};

const Figure kFigures[] = {
    {"main-window", mainWindowFigure, 94},
    {"settings", settingsFigure, 80},
    {"warning", warningFigure, 64},
    {"route-window", nullptr, 150},
};

QString& figureFolder() {
    static QString folder;
    return folder;
}

QImage figureImage(const Figure& figure) {
    return figure.draw ? figure.draw()
                       : QImage(figureFolder() + u'/' + QLatin1String(figure.name) + QStringLiteral(".png"));
}

const Figure* findFigure(const QString& name) {
    for (const Figure& figure : kFigures)
        if (name == QLatin1String(figure.name))
            return &figure;
    return nullptr;
}

// ---------------------------------------------------------------------------
// The document

// Images come only from the figures above; any other reference is an error.
class GuideDocument : public QTextDocument {
public:
    QStringList unknownResources;

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (type == QTextDocument::ImageResource && name.scheme() == QLatin1String("figure")) {
            if (const Figure* figure = findFigure(name.path())) {
                QImage image = figureImage(*figure);
                if (!image.isNull()) {
                    addResource(type, name, image);
                    return image;
                }
            }
        }
        if (!unknownResources.contains(name.toString()))
            unknownResources << name.toString();
        return {};
    }
};

// Whether a block holds preformatted code (a fenced or indented block).
bool isCode(const QTextBlock& block) {
    const QTextBlockFormat format = block.blockFormat();
    return format.hasProperty(QTextFormat::BlockCodeFence) || format.hasProperty(QTextFormat::BlockCodeLanguage) ||
           format.nonBreakableLines();
}

QTextTable* tableOf(const QTextBlock& block) {
    return QTextCursor(block).currentTable();
}

// Applies `change` to the character format of every fragment of the block.
void editCharFormats(const QTextBlock& block, const std::function<void(QTextCharFormat&)>& change) {
    struct Run {
        int position;
        int length;
        QTextCharFormat format;
    };
    std::vector<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        runs.push_back({it.fragment().position(), it.fragment().length(), it.fragment().charFormat()});
    for (Run& run : runs) {
        if (run.format.isImageFormat())
            continue;
        QTextCursor cursor(block);
        cursor.setPosition(run.position);
        cursor.setPosition(run.position + run.length, QTextCursor::KeepAnchor);
        change(run.format);
        cursor.setCharFormat(run.format);
    }
    // The format an empty block or its end uses.
    QTextCursor cursor(block);
    QTextCharFormat format = block.charFormat();
    change(format);
    cursor.setBlockCharFormat(format);
}

void setFamilies(QTextCharFormat& format, const QStringList& families) {
    format.setFontFamilies(families);
    format.setFontStyleHint(families == monoFamilies() ? QFont::Monospace : QFont::SansSerif);
}

// A fixed-pitch run (code span or code block) in the monospaced face.
bool isFixedPitch(const QTextCharFormat& format) {
    return format.fontFixedPitch() || format.font().fixedPitch();
}

void styleHeading(const QTextBlock& block, int level) {
    QTextCursor cursor(block);
    QTextBlockFormat format = block.blockFormat();
    static const double sizes[] = {15, 12, 10.5, 10, 10, 10};
    static const double above[] = {15, 10, 8, 7, 7, 7};
    static const double below[] = {6, 4, 3, 3, 3, 3};
    const int i = std::clamp(level, 1, 6) - 1;
    format.setTopMargin(pt(above[i]));
    format.setBottomMargin(pt(below[i]));
    format.setLineHeight(100, QTextBlockFormat::SingleHeight);
    cursor.setBlockFormat(format);
    editCharFormats(block, [&](QTextCharFormat& c) {
        c.clearProperty(QTextFormat::FontSizeAdjustment);
        setFamilies(c, sansFamilies());
        c.setFontPointSize(sizes[i]);
        c.setFontWeight(QFont::Bold);
        c.setForeground(level <= 2 ? kHeadingColour : QColor(Qt::black));
    });
}

void styleBody(const QTextBlock& block, double points) {
    editCharFormats(block, [&](QTextCharFormat& c) {
        c.clearProperty(QTextFormat::FontSizeAdjustment);
        if (isFixedPitch(c)) {
            setFamilies(c, monoFamilies());
            c.setFontFixedPitch(true);
            c.setFontPointSize(points * 0.92);
        } else {
            setFamilies(c, sansFamilies());
            c.setFontPointSize(points);
        }
    });
}

void styleCode(const QTextBlock& block) {
    QTextCursor cursor(block);
    QTextBlockFormat format = block.blockFormat();
    format.setLeftMargin(0);
    format.setRightMargin(0);
    format.setTextIndent(0);
    format.setTopMargin(0);
    format.setBottomMargin(0);
    format.setLineHeight(100, QTextBlockFormat::SingleHeight);
    format.setNonBreakableLines(true);
    cursor.setBlockFormat(format);
    editCharFormats(block, [&](QTextCharFormat& c) {
        c.clearProperty(QTextFormat::FontSizeAdjustment);
        setFamilies(c, monoFamilies());
        c.setFontFixedPitch(true);
        c.setFontPointSize(kCodePoints);
    });
}

void styleTable(QTextTable* table) {
    QTextTableFormat format = table->format();
    format.setBorder(0.75);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(kRuleColour);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(pt(3.5));
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setHeaderRowCount(1);
    format.setTopMargin(pt(4));
    format.setBottomMargin(pt(10));
    format.setAlignment(Qt::AlignLeft);
    // Three columns are a name, its meaning and a default: the same widths
    // for all of them, so the tables of one section line up.
    if (table->columns() == 3)
        format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 22),
                                          QTextLength(QTextLength::PercentageLength, 52),
                                          QTextLength(QTextLength::PercentageLength, 26)});
    table->setFormat(format);
    for (int row = 0; row < table->rows(); ++row) {
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(row, column);
            QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
            cellFormat.setBorder(0.75);
            cellFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            cellFormat.setBorderBrush(kRuleColour);
            if (row == 0)
                cellFormat.setBackground(kTableHeaderBackground);
            cell.setFormat(cellFormat);
            if (row == 0)
                for (QTextBlock block = cell.firstCursorPosition().block();
                     block.isValid() && block.position() < cell.lastPosition(); block = block.next())
                    editCharFormats(block, [](QTextCharFormat& c) { c.setFontWeight(QFont::Bold); });
        }
    }
}

// Each run of code lines goes into a shaded frame with some padding. From
// the last run to the first, so the positions still to come stay valid.
void frameCodeBlocks(QTextDocument& doc) {
    std::vector<std::pair<int, int>> runs;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!isCode(block) || tableOf(block))
            continue;
        const int end = block.position() + block.length() - 1;
        if (!runs.empty() && isCode(block.previous()) && !tableOf(block.previous()))
            runs.back().second = end;
        else
            runs.emplace_back(block.position(), end);
    }
    QTextFrameFormat format;
    format.setBackground(kCodeBackground);
    format.setBorder(0.75);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QColor(0xd5, 0xda, 0xe1));
    format.setPadding(pt(4.5));
    format.setTopMargin(pt(1));
    format.setBottomMargin(pt(8));
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        QTextCursor cursor(&doc);
        // A table right after the code would take the frame's closing block
        // into its first cell: give the frame a paragraph to end in.
        const QTextBlock after = doc.findBlock(it->second).next();
        if (after.isValid() && doc.frameAt(after.position()) != doc.rootFrame()) {
            cursor.setPosition(it->second);
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        }
        cursor.setPosition(it->first);
        cursor.setPosition(it->second, QTextCursor::KeepAnchor);
        cursor.insertFrame(format);
    }
}

// A table right after a code block comes with an empty first paragraph in
// its first cell; it goes.
void tidyTables(QTextDocument& doc) {
    QList<QTextTable*> tables;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        if (QTextTable* table = tableOf(block); table && !tables.contains(table))
            tables << table;
    for (QTextTable* table : std::as_const(tables)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QTextCursor cursor = cell.firstCursorPosition();
                const QTextBlock first = cursor.block();
                const QTextBlock second = first.next();
                if (first.length() > 1 || !second.isValid() || second.position() >= cell.lastPosition())
                    continue;
                cursor.setBlockFormat(second.blockFormat());
                cursor.setBlockCharFormat(second.charFormat());
                cursor.deleteChar();
            }
        }
    }
}

// Body, list, code and table styles over the whole text.
void styleDocument(QTextDocument& doc) {
    doc.setDefaultFont(sansFont(kBodyPoints));
    doc.setDocumentMargin(0);
    doc.setIndentWidth(pt(14));
    QTextFrameFormat root = doc.rootFrame()->frameFormat();
    root.setMargin(0);
    root.setPadding(0);
    doc.rootFrame()->setFrameFormat(root);

    std::vector<QTextBlock> blocks;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        blocks.push_back(block);
    QList<QTextTable*> tables;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const QTextBlock& block = blocks[i];
        const int level = block.blockFormat().headingLevel();
        QTextTable* table = tableOf(block);
        if (table && !tables.contains(table))
            tables << table;
        if (level > 0) {
            styleHeading(block, level);
            continue;
        }
        if (isCode(block)) {
            styleCode(block);
            continue;
        }
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        // Extra leading below each line keeps list numbers on the baseline.
        if (table)
            format.setLineHeight(100, QTextBlockFormat::SingleHeight);
        else
            format.setLineHeight(pt(1.6), QTextBlockFormat::LineDistanceHeight);
        if (table) {
            format.setTopMargin(0);
            format.setBottomMargin(0);
        } else if (QTextList* list = block.textList()) {
            const bool lastItem = list->itemNumber(block) == list->count() - 1;
            const bool nested = format.indent() > 1 || list->format().indent() > 1;
            format.setTopMargin(0);
            format.setBottomMargin(lastItem && !nested ? pt(6) : pt(2));
        } else {
            format.setTopMargin(0);
            format.setBottomMargin(pt(6));
        }
        cursor.setBlockFormat(format);
        styleBody(block, table ? kTablePoints : kBodyPoints);
    }
    for (QTextTable* table : std::as_const(tables))
        styleTable(table);
    frameCodeBlocks(doc);
}

// Figures: centred, printed at their width.
void placeFigures(QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QUrl url(image.name());
            const Figure* figure = url.scheme() == QLatin1String("figure") ? findFigure(url.path()) : nullptr;
            if (!figure)
                continue;
            const QImage drawn = doc.resource(QTextDocument::ImageResource, url).value<QImage>();
            if (drawn.isNull())
                continue;
            const double width = figure->widthMm / 25.4 * 96;
            image.setWidth(width);
            image.setHeight(width * drawn.height() / drawn.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
            QTextBlockFormat format = block.blockFormat();
            format.setAlignment(Qt::AlignHCenter);
            format.setTopMargin(pt(4));
            format.setBottomMargin(pt(4));
            format.setLineHeight(100, QTextBlockFormat::SingleHeight);
            cursor.setBlockFormat(format);
        }
    }
}

// A caption right under a figure: the paragraph after it, when it is in
// italics only, set smaller and centred.
void styleCaptions(QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextBlock previous = block.previous();
        if (!previous.isValid() || previous.text() != QString(QChar::ObjectReplacementCharacter))
            continue;
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        format.setAlignment(Qt::AlignHCenter);
        format.setBottomMargin(pt(10));
        cursor.setBlockFormat(format);
        editCharFormats(block, [](QTextCharFormat& c) {
            c.setFontPointSize(9);
            c.setForeground(kQuietText);
        });
    }
}

// The title block: the first two blocks, which main() puts before the text.
void styleTitle(QTextDocument& doc) {
    QTextBlock title = doc.begin();
    QTextBlock subtitle = title.next();
    {
        QTextCursor cursor(title);
        QTextBlockFormat format = title.blockFormat();
        format.setHeadingLevel(0);
        format.setTopMargin(pt(30));
        format.setBottomMargin(pt(4));
        cursor.setBlockFormat(format);
        editCharFormats(title, [](QTextCharFormat& c) {
            c.setFontPointSize(24);
            c.setFontWeight(QFont::Bold);
            c.setForeground(kHeadingColour);
        });
    }
    QTextCursor cursor(subtitle);
    QTextBlockFormat format = subtitle.blockFormat();
    format.setBottomMargin(pt(14));
    format.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth, QTextLength(QTextLength::PercentageLength, 100));
    cursor.setBlockFormat(format);
    editCharFormats(subtitle, [](QTextCharFormat& c) {
        c.setFontPointSize(11);
        c.setForeground(kQuietText);
    });
}

// The contents: the first-level headings with their page numbers, in a
// borderless table after the title block. Returns the page number cells'
// blocks with their headings.
struct ContentsEntry {
    QTextBlock heading;
    QTextTableCell pageCell;
};

std::vector<ContentsEntry> insertContents(QTextDocument& doc) {
    std::vector<QTextBlock> headings;
    for (QTextBlock block = doc.begin().next().next(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 1 && !tableOf(block))
            headings.push_back(block);
    if (headings.empty())
        return {};

    QTextCursor cursor(doc.begin().next());
    cursor.movePosition(QTextCursor::EndOfBlock);
    QTextBlockFormat label;
    label.setTopMargin(0);
    label.setBottomMargin(pt(4));
    QTextCharFormat labelText;
    labelText.setFontFamilies(sansFamilies());
    labelText.setFontPointSize(12);
    labelText.setFontWeight(QFont::Bold);
    labelText.setForeground(kHeadingColour);
    cursor.insertBlock(label, labelText);
    cursor.insertText(QStringLiteral("Contents"));

    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    format.setCellSpacing(0);
    format.setCellPadding(pt(1.5));
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints(
        {QTextLength(QTextLength::PercentageLength, 90), QTextLength(QTextLength::PercentageLength, 10)});
    format.setBottomMargin(pt(8));
    QTextTable* table = cursor.insertTable(int(headings.size()), 2, format);
    QTextCharFormat entryText;
    entryText.setFontFamilies(sansFamilies());
    entryText.setFontPointSize(kBodyPoints);
    std::vector<ContentsEntry> entries;
    for (std::size_t row = 0; row < headings.size(); ++row) {
        QTextCursor title = table->cellAt(int(row), 0).firstCursorPosition();
        title.insertText(headings[row].text(), entryText);
        QTextCursor page = table->cellAt(int(row), 1).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        page.setBlockFormat(right);
        page.insertText(QStringLiteral("00"), entryText);
        entries.push_back({headings[row], table->cellAt(int(row), 1)});
    }
    return entries;
}

// Lays the whole text out again. The engine's incremental layout can leave
// blocks without lines after many format changes around new frames.
void relayout(QTextDocument& doc) {
    doc.markContentsDirty(0, doc.characterCount());
}

// Whether a block holds nothing but a figure.
bool isFigure(const QTextBlock& block) {
    return block.text() == QString(QChar::ObjectReplacementCharacter);
}

// The text engine keeps an empty block before and after each frame (table or
// code); they take no room here.
void shrinkFrameNeighbours(QTextDocument& doc) {
    QTextFrame* root = doc.rootFrame();
    std::vector<QTextBlock> empty;
    bool afterFrame = false;
    QTextBlock pending;
    for (auto it = root->begin(); !it.atEnd(); ++it) {
        if (it.currentFrame()) {
            if (pending.isValid())
                empty.push_back(pending);
            pending = QTextBlock();
            afterFrame = true;
            continue;
        }
        const QTextBlock block = it.currentBlock();
        pending = QTextBlock();
        if (block.length() <= 1) {
            if (afterFrame)
                empty.push_back(block);
            else
                pending = block;
        }
        afterFrame = false;
    }
    for (const QTextBlock& block : empty) {
        if (QTextList* list = block.textList())
            list->remove(block);
        QTextCursor cursor(block);
        QTextBlockFormat format;
        format.setTopMargin(0);
        format.setBottomMargin(0);
        format.setLineHeight(1, QTextBlockFormat::FixedHeight);
        cursor.setBlockFormat(format);
        QTextCharFormat text;
        text.setFontPointSize(1);
        cursor.setBlockCharFormat(text);
    }
}

// Pagination that reads well: a heading keeps the start of its section on
// its page, a figure its caption, and short tables and code frames do not
// break.
class Paginator {
public:
    Paginator(QTextDocument& doc, double pageHeight) : m_doc(doc), m_pageHeight(pageHeight) {}

    int pageOf(double y) const { return int(std::floor(y / m_pageHeight)); }

    QRectF blockRect(const QTextBlock& block) const { return m_doc.documentLayout()->blockBoundingRect(block); }

    QRectF frameRect(QTextFrame* frame) const { return m_doc.documentLayout()->frameBoundingRect(frame); }

    // One pass; returns whether it moved anything.
    bool pass() {
        m_items.clear();
        for (auto it = m_doc.rootFrame()->begin(); !it.atEnd(); ++it)
            m_items.push_back({it.currentFrame(), it.currentBlock()});
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            if (item.frame) {
                const bool table = qobject_cast<QTextTable*>(item.frame) != nullptr;
                const QRectF r = frameRect(item.frame);
                // The engine may split a table row across pages; a table
                // that fits on one page stays whole.
                if (pageOf(r.top()) != pageOf(r.bottom() - 1) && r.height() <= m_pageHeight / (table ? 1.05 : 2) &&
                    breakBefore(i))
                    return true;
                continue;
            }
            const bool heading = item.block.blockFormat().headingLevel() > 0;
            if ((heading || isFigure(item.block) || introduces(item.block)) && i + 1 < m_items.size() &&
                pageOf(blockRect(item.block).top()) != pageOf(followBottom(i + 1, heading ? 3 : 1) - 1) &&
                breakBefore(i))
                return true;
        }
        return false;
    }

private:
    struct Item {
        QTextFrame* frame; // or
        QTextBlock block;
    };

    // A paragraph ending in a colon introduces what follows it.
    static bool introduces(const QTextBlock& block) {
        return !block.textList() && block.text().trimmed().endsWith(QLatin1Char(':'));
    }

    bool isEmptyBlock(std::size_t i) const { return !m_items[i].frame && m_items[i].block.length() <= 1; }

    // The bottom of the first `lines` lines from item i on: a frame counts
    // with its start, a figure as a whole.
    double followBottom(std::size_t i, int lines) const {
        double bottom = 0;
        for (; i < m_items.size() && lines > 0; ++i) {
            if (isEmptyBlock(i))
                continue;
            const Item& item = m_items[i];
            if (item.frame) {
                const QRectF r = frameRect(item.frame);
                return std::min(r.bottom(), r.top() + pt(14) * lines);
            }
            const QRectF r = blockRect(item.block);
            const QTextLayout* layout = item.block.layout();
            const int count = layout ? layout->lineCount() : 0;
            if (count == 0 || isFigure(item.block))
                return r.bottom();
            const QTextLine line = layout->lineAt(std::min(count, lines) - 1);
            bottom = r.top() + line.y() + line.height();
            lines -= count;
        }
        return bottom;
    }

    // A page break before item i, or before the heading or figure that
    // must stay with it. Returns whether a break was added.
    bool breakBefore(std::size_t i) {
        for (std::size_t j = i; j-- > 0;) {
            if (isEmptyBlock(j))
                continue;
            const QTextBlock& block = m_items[j].block;
            if (!m_items[j].frame && (block.blockFormat().headingLevel() > 0 || isFigure(block) || introduces(block)))
                i = j;
            else
                break;
        }
        const Item& item = m_items[i];
        if (item.frame) {
            QTextFrameFormat format = item.frame->frameFormat();
            if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                return false;
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            item.frame->setFrameFormat(format);
            relayout(m_doc);
            return true;
        }
        QTextBlockFormat format = item.block.blockFormat();
        if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            return false;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(item.block).setBlockFormat(format);
        relayout(m_doc);
        return true;
    }

    QTextDocument& m_doc;
    double m_pageHeight;
    std::vector<Item> m_items;
};

// ---------------------------------------------------------------------------
// Printing

struct Page {
    double width;  // device pixels
    double height; // device pixels
    QRectF body;   // the text area on the page
};

void drawPage(QPainter& painter, QTextDocument& doc, const Page& page, int index, int count) {
    const double bodyHeight = page.body.height();
    painter.save();
    painter.translate(page.body.left(), page.body.top() - index * bodyHeight);
    QAbstractTextDocumentLayout::PaintContext context;
    // Borders at the body's right edge must not be cut off.
    const double spill = mmToDevice(3);
    context.clip = QRectF(-spill, index * bodyHeight, page.body.width() + 2 * spill, bodyHeight);
    context.palette.setColor(QPalette::Text, Qt::black);
    painter.setClipRect(context.clip);
    doc.documentLayout()->draw(&painter, context);
    painter.restore();

    painter.save();
    painter.setFont(sansFont(8));
    painter.setPen(kQuietText);
    const double left = page.body.left();
    const double right = page.body.right();
    if (index > 0) {
        const double baseline = mmToDevice(kHeaderBaselineMm);
        painter.drawText(QPointF(left, baseline), QStringLiteral("Linkvigil User Guide"));
        const QString versionText = QStringLiteral("Version ") + version();
        const double w = painter.fontMetrics().horizontalAdvance(versionText);
        painter.drawText(QPointF(right - w, baseline), versionText);
        painter.setPen(QPen(kRuleColour, mmToDevice(0.2)));
        const double ruleY = baseline + mmToDevice(2);
        painter.drawLine(QPointF(left, ruleY), QPointF(right, ruleY));
        painter.setPen(kQuietText);
    }
    const QString footer = QStringLiteral("Page %1 of %2").arg(index + 1).arg(count);
    const double w = painter.fontMetrics().horizontalAdvance(footer);
    painter.drawText(QPointF((page.width - w) / 2, page.height - mmToDevice(kFooterBaselineMm)), footer);
    painter.restore();
}

std::optional<QString> readText(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fputs("usage: linkvigil-makehelp INPUT.md OUTPUT.pdf\n", stderr);
        return 2;
    }
    const QString input = arguments.at(1);
    const QString output = arguments.at(2);
    figureFolder() = QFileInfo(input).absolutePath() + QStringLiteral("/figures");

    QString error;
    const std::optional<QString> markdown = readText(input, &error);
    if (!markdown) {
        fail(QStringLiteral("cannot read %1: %2").arg(input, error));
        return 1;
    }
    if (markdown->trimmed().isEmpty()) {
        fail(QStringLiteral("%1 is empty").arg(input));
        return 1;
    }

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1: %2").arg(output, file.errorString()));
        return 1;
    }
    QPdfWriter writer(&file);
    writer.setResolution(kDpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Portrait);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Linkvigil User Guide"));
    writer.setCreator(QStringLiteral("Linkvigil"));

    Page page;
    page.width = writer.width();
    page.height = writer.height();
    page.body = QRectF(mmToDevice(kMarginLeftMm), mmToDevice(kMarginTopMm),
                       page.width - mmToDevice(kMarginLeftMm) - mmToDevice(kMarginRightMm),
                       page.height - mmToDevice(kMarginTopMm) - mmToDevice(kMarginBottomMm));

    GuideDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    const QString titleBlock = QStringLiteral(u"# Linkvigil — User Guide\n\nVersion %1 for Linux\n\n").arg(version());
    doc.setMarkdown(titleBlock + *markdown);
    tidyTables(doc);
    doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Linkvigil User Guide"));
    styleDocument(doc);
    styleTitle(doc);
    placeFigures(doc);
    styleCaptions(doc);
    std::vector<ContentsEntry> contents = insertContents(doc);
    doc.setPageSize(page.body.size());

    shrinkFrameNeighbours(doc);
    relayout(doc);
    Paginator paginator(doc, page.body.height());
    // Each pass adds at most one break, from the top down.
    for (int i = 0; i < 200 && paginator.pass(); ++i) {
    }
    for (ContentsEntry& entry : contents) {
        QTextCursor cursor = entry.pageCell.firstCursorPosition();
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        const int number = paginator.pageOf(paginator.blockRect(entry.heading).top()) + 1;
        cursor.insertText(QString::number(number));
    }
    relayout(doc);

    if (!doc.unknownResources.isEmpty()) {
        fail(QStringLiteral("%1: no such figure: %2").arg(input, doc.unknownResources.join(QStringLiteral(", "))));
        file.cancelWriting();
        return 1;
    }

    const int count = doc.pageCount();
    QPainter painter;
    if (!painter.begin(&writer)) {
        fail(QStringLiteral("cannot start the PDF %1").arg(output));
        file.cancelWriting();
        return 1;
    }
    for (int index = 0; index < count; ++index) {
        if (index > 0)
            writer.newPage();
        drawPage(painter, doc, page, index, count);
    }
    if (!painter.end()) {
        fail(QStringLiteral("cannot finish the PDF %1").arg(output));
        file.cancelWriting();
        return 1;
    }
    if (!file.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(output, file.errorString()));
        return 1;
    }
    return 0;
}
