// Benchmark: the real windows watching a test host every 100 ms for a given
// number of minutes, with the alert sound (the real player), the repeating
// warning window and the connection log on, against a host whose answers
// cycle between none lost and 30 % lost, so the alerts come and go. Prints
// the resident memory every 30 s and its growth after the first 5 minutes.
// Runs inside the private network of tests/netns/netns-run.sh (see
// monitor-soak.sh).
//
// Usage: linkvigil-bench-soak PROGRAM_FOLDER HOST [MINUTES]

#include "BenchWindows.h"
#include "QuietDesktop.h"
#include "TApplication.h"
#include "clock/SystemClock.h"
#include "sound/QtSoundPlayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

long residentKiB() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER HOST [MINUTES]\n", argv[0]);
        return 2;
    }
    const QString shipped = QString::fromLocal8Bit(argv[1]);
    const QString host = QString::fromLocal8Bit(argv[2]);
    const int minutes = argc > 3 ? std::atoi(argv[3]) : 30;
    QTemporaryDir folder;
    for (const char* sound : {"Carbrake.wav", "Chimes.wav", "Alert.wav"})
        QFile::copy(shipped + u'/' + QLatin1String(sound), folder.filePath(QLatin1String(sound)));
    const QString program = folder.path() + u'/';

    SystemClock clock;
    QuietDesktop quiet;
    QtSoundPlayer sound(program);
    TApplication::SetMessageBoxes(&quiet);
    MainFormServices services;
    services.clock = &clock;
    services.sound = &sound;
    services.shell = &quiet;
    services.boxes = &quiet;
    services.programDirectory = program;
    BenchWindows windows(services, &sound, &quiet);
    TMainForm& main = windows.main;
    main.show();

    windows.logForm.chbRepeatWarn->setChecked(true);
    main.Engine->SetLogging(true);
    main.edInterval->setText(QStringLiteral("100"));
    main.edIntervalExit();
    main.edTimeout->setText(QStringLiteral("500"));
    main.edTimeoutExit();
    main.cbConnectTo->setEditText(host);
    main.cbConnectToExit();
    main.StartButtonClick();

    QElapsedTimer wall;
    wall.start();
    long atFive = 0;
    long highest = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, &app, [&] {
        const long rss = residentKiB();
        const long second = wall.elapsed() / 1000;
        if (second >= 5 * 60 && atFive == 0)
            atFive = rss;
        if (atFive)
            highest = std::max(highest, rss);
        std::printf("t=%4ld s  rss=%ld KiB  index=%d  log=%lld bytes\n", second, rss, main.Engine->ReliabilityIndex,
                    QFile(main.Engine->LogFilePath()).size());
        std::fflush(stdout);
        if (second >= minutes * 60) {
            if (atFive)
                std::printf("growth after the first 5 minutes: %ld KiB (at 5 min %ld KiB, highest since %ld KiB)\n",
                            highest - atFive, atFive, highest);
            QCoreApplication::exit(0); // ends a waiting echo's loop too
        }
    });
    sample.start(30 * 1000);
    app.exec();
    return 0;
}
