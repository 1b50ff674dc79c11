// linkvigil-figures: the guide's figures, from the real windows rendered
// offscreen on the test fakes at build time, so that they show what the
// windows show: the main window after a day on a flaky link, the settings
// dialog with logging on, the warning window, the Outages, History and Route
// windows and the tray's menu. Where the guide's lists refer to numbers,
// the figure carries them beside the named controls.
// Usage: linkvigil-figures OUTPUT-FOLDER

#include "Figures.h"

#include <QDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2"); // sharp when printed
    TApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: linkvigil-figures OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "linkvigil-figures: cannot make %s\n", argv[1]);
        return 1;
    }
    QString failed;
    for (const figures::Figure& figure : figures::all()) {
        const QImage image = figure.render();
        const QString path = out + u'/' + QLatin1String(figure.name) + QStringLiteral(".png");
        if (image.isNull() || !image.save(path))
            failed += QLatin1String(figure.name) + u' ';
    }
    figures::end();
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "linkvigil-figures: not made: %s\n", qPrintable(failed));
        return 1;
    }
    return 0;
}
