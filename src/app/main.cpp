// Start-up: the application, then the main window, the settings dialog and
// the warning window, in this order; then the event loop until the main
// window closes. Nothing is saved, logged or asked on the way out.

#include "Forms.h"
#include "TApplication.h"
#include "clock/Stopwatch.h"
#include "clock/SystemClock.h"
#include "history/HistoryFeed.h"
#include "history/HistoryShelf.h"
#include "history/THistoryForm.h"
#include "icmp/EchoMux.h"
#include "icmp/Privileges.h"
#include "icmp/TICMPException.h"
#include "ledger/RouteProbe.h"
#include "logform/QtFileDialogs.h"
#include "logform/TLogForm.h"
#include "mainform/TMainForm.h"
#include "metrics/EngineEndpoint.h"
#include "notify/AlertNotices.h"
#include "notify/DBusNotifications.h"
#include "outages/TOutagesForm.h"
#include "ping/QtReverseLookup.h"
#include "route/TRouteForm.h"
#include "seams/DesktopShell.h"
#include "seams/QtMessageBoxes.h"
#include "settings/ProgramPlaces.h"
#include "sound/QtSoundPlayer.h"
#include "text/Regional.h"
#include "tray/TrayIcon.h"
#include "warnform/TfrmWarn.h"

#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Ends start-up when a capability could not be given up: better no program
// than one that runs with more rights than it should. errno, when set, says why.
int privilegeFailure(const char* what, bool haveApp) {
    const QString reason =
        errno ? QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))) : QString();
    const QString message = QStringLiteral("Linkvigil could not %1%2 and stops rather than run privileged")
                                .arg(QString::fromUtf8(what), reason);
    std::fprintf(stderr, "linkvigil: %s.\n", message.toLocal8Bit().constData());
    if (haveApp)
        TApplication::ShowException(message);
    return 1;
}

constexpr const char* kUsage = "usage: linkvigil [--help] [--version] [Qt options]\n"
                               "Watches one host with ICMP echoes in a window: the host, the interval and the\n"
                               "time-out are chosen there, and kept in Linkvigil.ini beside the program.\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before anything starts: no window, no settings file.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("linkvigil " LINKVIGIL_VERSION);
            return 0;
        }
    }
    // Capabilities given to the file (setcap) stay permitted but not effective:
    // Qt's start-up and the settings file run without them.
    errno = 0;
    if (!privileges::lowerEffective())
        return privilegeFailure("lower its capabilities", false);
    TApplication app(argc, argv);
    const QString programDirectory = QCoreApplication::applicationDirPath() + u'/';
    // Beside the program when it is portable, else the user's own folders.
    const ProgramPlaces places = ProgramPlaces::find(programDirectory);
    QString placesError;
    if (!places.makeFolders(&placesError))
        std::fprintf(stderr, "linkvigil: %s.\n", placesError.toLocal8Bit().constData());

    SystemClock clock;
    QtMessageBoxes boxes;
    DesktopShell shell;
    QtFileDialogs fileDialogs;
    QtSoundPlayer sound(programDirectory);
    TApplication::SetMessageBoxes(&boxes);

    MainFormServices services;
    services.clock = &clock;
    services.sound = &sound;
    services.shell = &shell;
    services.boxes = &boxes;
    services.programDirectory = programDirectory;
    services.settingsDirectory = places.settingsDirectory;
    services.dataDirectory = places.dataDirectory;
    services.regional = RegionalSettings::fromLocale(QLocale::system());
    // The outage ledger's clocks, routes and gateway echoes; without a
    // socket for the latter, outages get only the local side's causes.
    SystemStopwatch stopwatch;
    NetlinkRouteSource routes;
    std::unique_ptr<EchoMux> probes = EchoMux::open(SocketKind::Auto, nullptr);
    services.stopwatch = &stopwatch;
    services.routes = &routes;
    if (probes)
        services.makeProbeChannel = [&probes] { return probes->channel(); };

    std::unique_ptr<TMainForm> mainForm;
    QString socketError;
    try {
        mainForm = std::make_unique<TMainForm>(services);
    } catch (const TICMPException& e) {
        socketError = e.Message();
    }
    // The echo socket is open (or cannot be): no capability is needed any more.
    errno = 0;
    if (!privileges::dropAll())
        return privilegeFailure("drop its capabilities", true);
    if (!mainForm) {
        TApplication::ShowException(socketError +
                                    QStringLiteral(": Linkvigil cannot send ICMP echo requests on this system.\n\n"
                                                   "Allow ping sockets for your group:\n"
                                                   "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                                                   "or give the program raw sockets:\n"
                                                   "    sudo setcap cap_net_raw+ep %1\n\n"
                                                   "Then start Linkvigil again")
                                        .arg(QCoreApplication::applicationFilePath()));
        return 1;
    }
    MainForm = mainForm.get();
    QObject::connect(&sound, &QtSoundPlayer::audioUnavailable, MainForm, &TMainForm::ShowStatus);
    TLogForm logForm(MainForm, MainForm->Engine, &sound, &fileDialogs);
    logForm.TrayAvailable = &TrayIcon::trayAvailable;
    LogForm = &logForm;
    TfrmWarn warnForm;
    frmWarn = &warnForm;
    TOutagesForm outagesForm(nullptr, &fileDialogs);
    OutagesForm = &outagesForm;
    ConnectForms(MainForm, LogForm, frmWarn, OutagesForm);

    // Every echo kept in the History.db beside the ledger, unless the
    // settings file says no; the History window reads it as it is written.
    HistoryShelf historyShelf(stopwatch, [](const QString& message) {
        if (MainForm)
            MainForm->ShowStatus(message);
    });
    if (MainForm->History)
        history::follow(*MainForm->Engine, historyShelf, *MainForm->History);
    THistoryForm historyForm(nullptr, nullptr, &fileDialogs);
    HistoryForm = &historyForm;
    ConnectHistory(MainForm, HistoryForm);
    QtReverseLookup hopNames;
    TRouteForm routeForm(nullptr, hopNames, &fileDialogs);
    RouteForm = &routeForm;
    ConnectRoute(MainForm, RouteForm, &historyShelf);

    // The metrics endpoint, when the settings file asks for one; a problem
    // with it is told in the status line and changes nothing else.
    std::unique_ptr<metrics::EngineEndpoint> metricsEndpoint;
    if (!MainForm->MetricsListen.isEmpty()) {
        QString error;
        metricsEndpoint = metrics::EngineEndpoint::start(*MainForm->Engine, MainForm->MetricsListen, &error);
        if (!metricsEndpoint)
            MainForm->ShowStatus(QStringLiteral("Metrics not served: ") + error);
    }

    // The status icon where the desktop has a tray, and the alerts as the
    // desktop's notifications where it has a service for them.
    TrayStatus trayStatus(*MainForm->Engine);
    TrayIcon tray(trayStatus);
    ConnectTray(MainForm, &tray);
    DBusNotifications notifications;
    AlertNotices notices(*MainForm->Engine, notifications);
    ConnectNotices(MainForm, &notices);

    MainForm->show();
    tray.show();
    const int result = app.exec();
    // The echoes of the last second are committed before the program ends.
    historyShelf.close();
    RouteForm = nullptr;
    HistoryForm = nullptr;
    OutagesForm = nullptr;
    frmWarn = nullptr;
    LogForm = nullptr;
    MainForm = nullptr;
    return result;
}
