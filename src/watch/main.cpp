// The headless watcher: the hosts of the settings files given, watched from
// one thread until SIGTERM or SIGINT, with their logs and, if asked for,
// their metrics for Prometheus; or one host's outage report, or the echoes
// of its history, for a period. Exit status 2: bad arguments or settings.
// A stop signal before the watching begins ends it by that signal.

#include "HostSettings.h"
#include "StopSignals.h"
#include "WatchArguments.h"
#include "WatchExport.h"
#include "Watcher.h"
#include "icmp/Privileges.h"
#include "io/RealPath.h"
#include "ledger/LedgerFile.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

void say(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

int fail(int status, const QString& message) {
    say(QStringLiteral("linkvigil-watch: ") + message);
    return status;
}

// The report is drawn by linkvigil-report, beside this program: drawing
// needs Qt Gui, which the watcher itself does without.
int writeReport(const WatchArguments& arguments) {
    QString problem;
    const QString file = arguments.settingsFiles.value(0);
    const auto settings = HostSettings::load(file, arguments.logDirectory, u'.', &problem);
    if (!settings)
        return fail(2, QStringLiteral("%1: %2").arg(file, problem));
    // Never over the host's own files; the report tool keeps it off the
    // ledger and the files beside it.
    const QString target = io::realPath(arguments.reportFile);
    if (target == io::realPath(settings->file) || target == settings->canonicalLogPath())
        return fail(2, QStringLiteral("%1 is the settings file or the log of %2: name another file for the report")
                           .arg(arguments.reportFile, settings->host()));
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/linkvigil-report");
    // The interval and time-out as the watcher keeps them to their limits.
    const MonitorProfile& profile = settings->profile;
    const int interval = std::clamp(profile.Interval, 200, 60000);
    const int timeout = std::clamp(profile.Timeout, 500, 10000);
    const int status =
        QProcess::execute(tool, {QStringLiteral("--interval"), QString::number(interval), QStringLiteral("--timeout"),
                                 QString::number(timeout), arguments.reportPeriod,
                                 LedgerFile::ledgerPath(settings->logPath()), settings->host(), arguments.reportFile});
    return status >= 0 ? status : fail(1, QStringLiteral("cannot run %1").arg(tool));
}

// A stop asked for before the event loop runs ends the program at once: no
// host has started, no log has been written.
void endIfStopped() {
    if (const int signalNumber = StopSignals::pending()) {
        say(QStringLiteral("linkvigil-watch: stopped by %1 while starting")
                .arg(signalNumber == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT")));
        StopSignals::endBy(signalNumber);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // Capabilities given to the file stay permitted but not effective until
    // the socket is opened. The stop signals are blocked before any thread
    // starts, so that every thread inherits the mask and they are only ever
    // taken through StopSignals.
    if (!privileges::lowerEffective())
        return fail(1, QStringLiteral("could not lower its capabilities"));
    if (!StopSignals::block())
        return fail(1, QStringLiteral("could not block SIGTERM and SIGINT"));
    // Without TZ the C library looks at /etc/localtime again at every local
    // time it works out, a file lookup for each of the several stamps of
    // every echo: with thousands of hosts, most of the process's time. Named
    // once, the zone is read once; a change of the system's zone is taken up
    // at the next start.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    // Qt's own event loop rather than GLib's: nothing here needs GLib, and
    // the plain loop is the lighter one for a process that runs for days.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);

    QString error;
    QStringList skipped;
    auto arguments = WatchArguments::parse(app.arguments().mid(1), &error, &skipped);
    for (const QString& line : skipped)
        say(QStringLiteral("linkvigil-watch: ") + line);
    if (!arguments) {
        endIfStopped();
        std::fputs(WatchArguments::usage().toLocal8Bit().constData(), stderr);
        return fail(2, error);
    }
    if (arguments->help) {
        std::fputs(WatchArguments::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    // The report has nothing to stop cleanly; unblocked, the signals also
    // reach the program drawing it.
    if (!arguments->reportPeriod.isEmpty()) {
        StopSignals::unblock();
        return writeReport(*arguments);
    }
    // Nor has the export: a stop ends it where it is.
    if (!arguments->exportPeriod.isEmpty()) {
        StopSignals::unblock();
        return exportHistory(*arguments, QDateTime::currentDateTime(), say);
    }

    // Taken from here on: by the start-up between its steps, then by the
    // event loop.
    StopSignals stop;
    if (!stop.valid())
        return fail(1, QStringLiteral("could not watch for SIGTERM and SIGINT"));
    endIfStopped();
    Watcher watcher(say);
    if (!watcher.prepare(*arguments, &error)) {
        endIfStopped();
        return fail(2, error);
    }
    // Thousands of settings files are read and taken over: their names and
    // what reading them took go back to the system.
    arguments->settingsFiles = {};
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    // The socket is open: no capability is needed any more.
    errno = 0;
    if (!privileges::dropAll())
        return fail(
            1,
            QStringLiteral("could not drop its capabilities (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    // The metrics are plain HTTP and nothing else here needs a plugin: none
    // is looked for, so the TLS backend and OpenSSL with it stay unloaded.
    QCoreApplication::setLibraryPaths({});
    QLoggingCategory::setFilterRules(QStringLiteral("qt.network.ssl.warning=false"));
    if (!watcher.serveMetrics(arguments->metrics, &error))
        return fail(2, error);

    endIfStopped();
    QObject::connect(&stop, &StopSignals::stopRequested, &app, [&watcher] {
        watcher.stop();
        QCoreApplication::quit();
    });
    say(QStringLiteral("linkvigil-watch: watching %1 host(s)%2")
            .arg(watcher.hosts().size())
            .arg(arguments->metrics.isEmpty() ? QString() : QStringLiteral(", metrics on ") + arguments->metrics));
    watcher.start();
    return app.exec();
}
