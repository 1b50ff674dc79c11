// Benchmark: the real main window watching a test host at a 200 ms
// interval for a given time, then one echo to a silent host with a 5 s
// time-out. Prints the process's CPU time and peak resident memory, and how
// often the window painted while that echo waited. Runs inside the private
// network of tests/netns/netns-run.sh (see monitor-load.sh).

#include "BenchWindows.h"
#include "QuietDesktop.h"
#include "TApplication.h"
#include "clock/SystemClock.h"
#include "ping/TPing.h"
#include "widgets/TChartBox.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

// Counts the paint events of one widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

double cpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QTemporaryDir folder;
    SystemClock clock;
    QuietDesktop quiet;
    TApplication::SetMessageBoxes(&quiet);
    MainFormServices services;
    services.clock = &clock;
    services.sound = &quiet;
    services.shell = &quiet;
    services.boxes = &quiet;
    services.programDirectory = folder.path() + u'/';
    BenchWindows windows(services, &quiet, &quiet);
    TMainForm& main = windows.main;
    main.show();

    main.edInterval->setText(QStringLiteral("200"));
    main.edIntervalExit();
    main.cbConnectTo->setEditText(QStringLiteral("192.0.2.1"));
    main.cbConnectToExit();
    main.StartButtonClick();

    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, [&] {
        main.StopButtonClick();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("watched 192.0.2.1 every 200 ms for %.1f s: %d replies, index %d, caption \"%s\"\n",
                    wall.elapsed() / 1000.0, main.Engine->ChartColumn, main.Engine->ReliabilityIndex,
                    qPrintable(main.windowTitle()));
        std::printf("CPU time: %.3f s (%.2f %% of one core), peak resident memory: %ld KiB\n", cpuSeconds(usage),
                    100.0 * cpuSeconds(usage) / (wall.elapsed() / 1000.0), usage.ru_maxrss);

        // One echo to a host that never answers, with a 5 s time-out, while
        // the chart is asked to repaint every 50 ms.
        PaintCounter counter;
        main.FBox->installEventFilter(&counter);
        QTimer repaint;
        QObject::connect(&repaint, &QTimer::timeout, main.FBox, qOverload<>(&QWidget::update));
        repaint.start(50);
        main.edTimeout->setText(QStringLiteral("5000"));
        main.edTimeoutExit();
        main.Engine->Ping->SetAddress(QStringLiteral("192.0.2.2"));
        getrusage(RUSAGE_SELF, &usage);
        const double before = cpuSeconds(usage);
        wall.restart();
        main.Engine->MonitorState = Resolved;
        main.Engine->TimerTimer();
        getrusage(RUSAGE_SELF, &usage);
        std::printf("echo to a silent host: %.2f s waited, %d paints of the chart meanwhile, %.3f s CPU\n",
                    wall.elapsed() / 1000.0, counter.paints, cpuSeconds(usage) - before);
        main.FBox->removeEventFilter(&counter);
        app.quit();
    });
    app.exec();
    return 0;
}
