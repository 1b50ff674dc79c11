// Renders the program's icon at the desktop's usual sizes, into
// OUT/NxN/apps/linkvigil.png (the hicolor theme's layout), at build time.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fputs("usage: linkvigil-icons ICON.svg OUT-FOLDER\n", stderr);
        return 2;
    }
    QSvgRenderer svg(arguments.at(1));
    if (!svg.isValid()) {
        std::fprintf(stderr, "linkvigil-icons: cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments.at(2)).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/linkvigil.png"))) {
            std::fprintf(stderr, "linkvigil-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
