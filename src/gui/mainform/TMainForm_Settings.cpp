// The settings file: the load at start-up and the save that writes every key.

#include "Forms.h"
#include "TApplication.h"
#include "TMainForm.h"
#include "history/HistoryFeed.h"
#include "outages/TOutagesForm.h"
#include "seams/IMessageBoxes.h"
#include "settings/MonitorProfile.h"
#include "settings/TIniFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

// `path` relative to the folder `base`, or empty when it lies elsewhere.
QString below(const QString& base, const QString& path) {
    const QString relative = QDir(base).relativeFilePath(path);
    if (relative == QStringLiteral(".") || relative == QStringLiteral("..") ||
        relative.startsWith(QStringLiteral("../")) || QDir::isAbsolutePath(relative))
        return {};
    return relative;
}

// The log's name as the settings file keeps it. A log in the program folder
// or below it is kept by its name relative to that folder, which start-up
// reads relative to the folder again: a copy of the whole folder then writes
// a log and ledger of its own, not the original's. Logs elsewhere keep their
// full path; a relative name is kept as written.
QString storedLogName(const QString& programDirectory, const QString& logFile) {
    if (programDirectory.isEmpty() || !QDir::isAbsolutePath(logFile))
        return logFile;
    if (const QString relative = below(programDirectory, QDir::cleanPath(logFile)); !relative.isEmpty())
        return relative;
    // Reached through a symbolic link to the folder: compare where the log's
    // folder really is, when it exists.
    const QFileInfo log(logFile);
    const QString folder = log.absoluteDir().canonicalPath();
    const QString program = QDir(programDirectory).canonicalPath();
    if (!folder.isEmpty() && !program.isEmpty())
        if (const QString relative = below(program, folder + u'/' + log.fileName()); !relative.isEmpty())
            return relative;
    return logFile;
}

} // namespace

void TMainForm::LoadSettings() {
    const TIniFile ini(SettingsFileName);
    // A settings file that cannot be read (a FIFO, a device) is named once;
    // the program goes on with its defaults.
    if (const QString error = ini.LoadError(); !error.isEmpty())
        TApplication::ShowException(error + QStringLiteral(": the default settings are used"));
    // A size limit that is no number is shown at once; the rest of the
    // start-up goes on with the default limit.
    const MonitorProfile profile =
        MonitorProfile::Load(ini, dataDirectory() + QStringLiteral("Connect.log"), Regional().decimalSeparator);
    MetricsListen = profile.MetricsListen;
    OutagesGeometry = profile.OutagesWindow;
    History = profile.HistoryEnabled ? std::optional(history::optionsOf(profile)) : std::nullopt;
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
    MonitorProfile profile = Engine->Profile();
    profile.LogFile = storedLogName(dataDirectory(), profile.LogFile);
    if (OutagesForm && OutagesForm->placed())
        OutagesGeometry = OutagesForm->geometryText();
    profile.OutagesWindow = OutagesGeometry;
    profile.Save(ini, Regional().decimalSeparator);
    ini.Commit();
}
