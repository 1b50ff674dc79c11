// The settings file: the load at start-up and the save that writes every key.

#include "TApplication.h"
#include "TMainForm.h"
#include "seams/IMessageBoxes.h"
#include "settings/MonitorProfile.h"
#include "settings/TIniFile.h"

void TMainForm::LoadSettings() {
    const TIniFile ini(SettingsFileName);
    // A settings file that cannot be read (a FIFO, a device) is named once;
    // the program goes on with its defaults.
    if (const QString error = ini.LoadError(); !error.isEmpty())
        TApplication::ShowException(error + QStringLiteral(": the default settings are used"));
    // A size limit that is no number is shown at once; the rest of the
    // start-up goes on with the default limit.
    const MonitorProfile profile =
        MonitorProfile::Load(ini, ProgramDirectory + QStringLiteral("Connect.log"), Regional().decimalSeparator);
    MetricsListen = profile.MetricsListen;
    const QString error = Engine->ApplyProfile(profile);
    if (!error.isEmpty())
        TApplication::ShowException(error);
}

void TMainForm::SaveButtonClick(QObject* Sender) {
    if (Sender &&
        Boxes().Ask(IMessageBoxes::Kind::Information,
                    QStringLiteral("This will save the application settings to an ini-file and will\r\nbe used again "
                                   "next time you start this application."),
                    IMessageBoxes::OK | IMessageBoxes::Cancel) != IMessageBoxes::OK)
        return;
    // One replacement of the whole file: it holds the old settings or the new.
    TIniFile ini(SettingsFileName);
    ini.BeginUpdate();
    Engine->Profile().Save(ini, Regional().decimalSeparator);
    ini.Commit();
}
