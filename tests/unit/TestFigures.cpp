// The guide's figures are made from the windows: each is there and shows
// something (a window, not a blank or a bare frame).

#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestFigures : public QObject {
    Q_OBJECT

private slots:
    void everyFigureIsAWindow() {
        QTemporaryDir out;
        QProcess tool;
        // The windows' leaks are the other tests' to find.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(LINKVIGIL_FIGURES), {out.path()});
        QVERIFY(tool.waitForFinished(120'000));
        QCOMPARE(tool.exitCode(), 0);
        for (const char* name :
             {"main-window", "settings", "warning", "outages", "history-window", "route-window", "tray-menu"}) {
            const QImage image(out.filePath(QLatin1String(name) + QStringLiteral(".png")));
            QVERIFY2(!image.isNull(), name);
            QVERIFY2(image.width() >= 100 && image.height() >= 50, name);
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    colours.insert(image.pixel(x, y));
            QVERIFY2(colours.size() >= 24, qPrintable(QStringLiteral("%1: %2 colours").arg(name).arg(colours.size())));
        }
    }
};

QTEST_GUILESS_MAIN(TestFigures)
#include "TestFigures.moc"
