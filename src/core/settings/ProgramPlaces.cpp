#include "settings/ProgramPlaces.h"

#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {

QString withSlash(QString path) {
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

// A system's folders for programs: written by its package manager, never
// by a program running from them, whoever runs it (root may write anywhere).
bool systemFolder(const QString& path) {
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/lib/"})
        if (path.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

// $NAME when it is an absolute path (the XDG rule: a relative one is
// ignored), else $HOME/`fallback`.
QString baseFolder(const ProgramPlaces::Environment& environment, const char* name, const char* fallback) {
    const QString set = environment(name);
    if (QDir::isAbsolutePath(set))
        return withSlash(QDir::cleanPath(set));
    QString home = environment("HOME");
    if (!QDir::isAbsolutePath(home))
        home = QDir::homePath();
    return withSlash(QDir::cleanPath(home + u'/' + QLatin1String(fallback)));
}

} // namespace

QString ProgramPlaces::settingsFile() const {
    return settingsDirectory + settings::FileName;
}

ProgramPlaces ProgramPlaces::find(const QString& programDirectory, const Environment& environment) {
    const Environment env = environment ? environment : [](const char* name) { return qEnvironmentVariable(name); };
    ProgramPlaces places;
    places.programDirectory = withSlash(programDirectory);
    const QString folder = QDir::cleanPath(programDirectory);
    if (QFileInfo::exists(places.programDirectory + settings::FileName)) {
        places.settingsDirectory = places.dataDirectory = places.programDirectory;
        places.reason = QStringLiteral("the program folder %1 holds Linkvigil.ini").arg(folder);
        return places;
    }
    if (!systemFolder(places.programDirectory) && ::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
        places.settingsDirectory = places.dataDirectory = places.programDirectory;
        places.reason = QStringLiteral("the program folder %1 can be written to").arg(folder);
        return places;
    }
    places.portable = false;
    places.settingsDirectory = baseFolder(env, "XDG_CONFIG_HOME", ".config") + QStringLiteral("linkvigil/");
    places.dataDirectory = baseFolder(env, "XDG_STATE_HOME", ".local/state") + QStringLiteral("linkvigil/");
    places.reason = QStringLiteral("the program folder %1 is the system's and holds no Linkvigil.ini").arg(folder);
    return places;
}

bool ProgramPlaces::makeFolders(QString* error) const {
    for (const QString& folder : {settingsDirectory, dataDirectory})
        if (!QDir().mkpath(folder)) {
            if (error)
                *error = QStringLiteral("The folder %1 cannot be made").arg(QDir::cleanPath(folder));
            return false;
        }
    return true;
}
