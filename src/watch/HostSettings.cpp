#include "HostSettings.h"

#include "log/LogFile.h"
#include "settings/SettingsKeys.h"
#include "settings/TIniFile.h"
#include "text/IntText.h"

#include <QFileInfo>

#include <algorithm>

QString HostSettings::logPath() const {
    return logfile::ResolvePath(logDirectory, profile.LogFile);
}

std::optional<HostSettings> HostSettings::load(const QString& file, const QString& logDirectory, QChar decimalSeparator,
                                               QString* error) {
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("cannot be read");
        return std::nullopt;
    }
    const TIniFile ini(file);
    if (const QString loadError = ini.LoadError(); !loadError.isEmpty()) {
        *error = loadError;
        return std::nullopt;
    }
    HostSettings s;
    s.file = info.absoluteFilePath();
    s.logDirectory = (logDirectory.isEmpty() ? info.absolutePath() : logDirectory) + u'/';
    // A file without a log name of its own logs to one named after it, so
    // that settings files side by side never share a log.
    s.profile = MonitorProfile::Load(ini, info.completeBaseName() + QStringLiteral(".log"), decimalSeparator);
    using namespace settings;
    if (ini.ReadString(settings::Addresses, AddressKey(1), QString()).trimmed().isEmpty()) {
        *error = QStringLiteral("names no host ([Addresses] Address01)");
        return std::nullopt;
    }
    s.profile.Addresses = {ini.ReadString(settings::Addresses, AddressKey(1), QString()).trimmed()};
    for (const auto& [section, key] : {std::pair{Ping, Interval}, std::pair{Ping, Timeout}}) {
        const QString text = ini.ReadString(section, key, QStringLiteral("1000"));
        if (!inttext::parse(text)) {
            *error = QStringLiteral("[%1] %2=%3 is no whole number").arg(section, key, text);
            return std::nullopt;
        }
    }
    // The limits the window's fields keep them to.
    s.profile.Interval = std::clamp(s.profile.Interval, 200, 60000);
    s.profile.Timeout = std::clamp(s.profile.Timeout, 500, 10000);
    QString limitError;
    s.profile.LimitBytes(&limitError);
    if (!limitError.isEmpty()) {
        *error = QStringLiteral("[Logging] LogfileLimitKb: %1").arg(limitError);
        return std::nullopt;
    }
    return s;
}
