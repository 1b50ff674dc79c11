#include "MonitorFixture.h"
#include "TestMain.h"
#include "tray/TrayIcon.h"

#include <QProcess>
#include <QSystemTrayIcon>

// The tray icon on a real X server, with trayer holding the tray, and with
// no tray at all. desktop-run.sh builds that desktop around this program.
class TestTrayHost : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    std::unique_ptr<TrayStatus> status;
    std::unique_ptr<TrayIcon> tray;
    TMainForm* m = nullptr;

    // The lines of `xwininfo -root -tree` below trayer's panel window.
    static QStringList inTrayer() {
        QProcess p;
        p.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        p.waitForFinished(5000);
        QStringList below;
        qsizetype depth = -1;
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
            const qsizetype indent = line.size() - line.trimmed().size() - (line.endsWith(u' ') ? 1 : 0);
            if (depth < 0) {
                if (line.contains(QStringLiteral("\"panel\"")))
                    depth = indent;
            } else if (indent > depth) {
                below << line.trimmed();
            } else {
                break;
            }
        }
        return below;
    }

private slots:
    void init() {
        f = std::make_unique<MonitorFixture>();
        f->create();
        m = f->main.get();
        status = std::make_unique<TrayStatus>(*m->Engine);
        tray = std::make_unique<TrayIcon>(*status);
        ConnectTray(m, tray.get());
        m->show();
        tray->show();
    }
    void cleanup() {
        tray.reset();
        status.reset();
        f.reset();
    }

    void iconSitsInTheTray() {
        QTRY_VERIFY(TrayIcon::trayAvailable());
        QTRY_VERIFY(tray->isShown());
        QTRY_VERIFY(!tray->icon()->geometry().isEmpty());
        QCOMPARE(tray->icon()->toolTip(), "Linkvigil — idle");
        // Embedded: a window of this program inside trayer's panel.
        const QString program = QCoreApplication::applicationName();
        QTRY_VERIFY2(inTrayer().filter(program).size() > 0, qPrintable(inTrayer().join(u'\n')));
    }

    void closesIntoTheTray() {
        QTRY_VERIFY(tray->isShown());
        MonitorOptions options = m->Engine->Options();
        options.MinimiseToTray = true;
        m->Engine->SetOptions(options);
        QVERIFY(!m->close());
        QVERIFY(m->isHidden());
        emit tray->icon()->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(m->isVisible());
    }

    // No tray: no icon, and the window closes as it always did.
    void noTrayNoIcon() {
        QTest::qWait(300);
        QVERIFY(!TrayIcon::trayAvailable());
        QVERIFY(!tray->isShown());
        QVERIFY(m->isVisible());
        MonitorOptions options = m->Engine->Options();
        options.MinimiseToTray = true;
        m->Engine->SetOptions(options);
        QVERIFY(m->close());
    }
};

LINKVIGIL_TEST_MAIN(TestTrayHost)
#include "TestTrayHost.moc"
