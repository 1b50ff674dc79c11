// linkvigil-screenshots: renders the main window (after a few answered and
// lost echoes) and the warning window offscreen, on the test fakes, and
// writes them as PNG files for a reviewer to look at. On a high-density
// screen (QT_SCALE_FACTOR=2, say) the files are in device pixels and named
// for the ratio: main-window@2x.png.
// Usage: linkvigil-screenshots OUTPUT_FOLDER

#include "MonitorFixture.h"
#include "icmp/AddressText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>

#include <cstdio>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: linkvigil-screenshots OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    MonitorFixture f;
    f.create();
    TMainForm* m = f.main.get();
    f.startWatching(QStringLiteral("192.0.2.1"));
    const std::uint32_t host = inet::parse(QStringLiteral("192.0.2.1"));
    // A day on a flaky link: mostly quick answers, some slow ones, a bad spell.
    for (int i = 0; i < 120; ++i) {
        const bool lost = (i >= 60 && i < 80) || i % 17 == 0;
        if (!lost)
            f.echo->answers.push_back(FakeEcho::answered(host, 40 + (i * 37) % 300, 56));
        if (i == 70)
            LogForm->chbRepeatWarn->setChecked(true);
        m->Engine->TimerTimer();
    }
    m->show();
    frmWarn->ShowWarning(QStringLiteral("07/12/2026 12:00: Connection 192.0.2.1 falls below 30%"));
    QCoreApplication::processEvents();

    const qreal ratio = m->devicePixelRatioF();
    const QString suffix = (ratio == 1 ? QString() : QStringLiteral("@%1x").arg(ratio)) + QStringLiteral(".png");
    const QString mainPath = out + QStringLiteral("/main-window") + suffix;
    const QString warnPath = out + QStringLiteral("/warning-window") + suffix;
    const bool ok = m->grab().save(mainPath) && frmWarn->grab().save(warnPath);
    std::printf("%s\n%s\n", qPrintable(mainPath), qPrintable(warnPath));
    return ok ? 0 : 1;
}
