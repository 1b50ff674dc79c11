// Start-up: the application, then the main window, the settings dialog and
// the warning window, in this order; then the event loop until the main
// window closes. Nothing is saved, logged or asked on the way out.

#include "Forms.h"
#include "TApplication.h"
#include "clock/SystemClock.h"
#include "icmp/Privileges.h"
#include "icmp/TICMPException.h"
#include "logform/QtFileDialogs.h"
#include "logform/TLogForm.h"
#include "mainform/TMainForm.h"
#include "seams/DesktopShell.h"
#include "seams/QtMessageBoxes.h"
#include "sound/QtSoundPlayer.h"
#include "text/Regional.h"
#include "warnform/TfrmWarn.h"

#include <QLocale>

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    const QString programDirectory = QCoreApplication::applicationDirPath() + u'/';

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
    services.regional = RegionalSettings::fromLocale(QLocale::system());

    std::unique_ptr<TMainForm> mainForm;
    try {
        mainForm = std::make_unique<TMainForm>(services);
    } catch (const TICMPException& e) {
        TApplication::ShowException(e.Message() +
                                    QStringLiteral(": Linkvigil cannot send ICMP echo requests on this system.\n\n"
                                                   "Allow ping sockets for your group:\n"
                                                   "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                                                   "or give the program raw sockets:\n"
                                                   "    sudo setcap cap_net_raw+ep %1\n\n"
                                                   "Then start Linkvigil again")
                                        .arg(QCoreApplication::applicationFilePath()));
        return 1;
    }
    // The echo socket is open: no capability is needed any more.
    privileges::dropAll();
    MainForm = mainForm.get();
    TLogForm logForm(MainForm, &sound, &fileDialogs);
    LogForm = &logForm;
    TfrmWarn warnForm;
    frmWarn = &warnForm;

    MainForm->show();
    const int result = app.exec();
    frmWarn = nullptr;
    LogForm = nullptr;
    MainForm = nullptr;
    return result;
}
