#include "HostSettings.h"

#include "io/RealPath.h"
#include "log/LogFile.h"
#include "settings/SettingsKeys.h"
#include "settings/TIniFile.h"
#include "text/IntText.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withError(const char* what, int error) {
    return QStringLiteral("%1 (%2)").arg(QLatin1StringView(what), QString::fromLocal8Bit(std::strerror(error)));
}

// The averaging period the settings dialog makes of its amount and unit
// (0 seconds, 1 minutes, 2 hours, 3 days): an amount below 1 counts as 1,
// a unit it does not know gives one hour. Nothing when the amount is no
// whole number.
std::optional<TDateTime> dialogPeriod(const MonitorOptions& options) {
    const auto amount = inttext::parse(options.PeriodAmount);
    if (!amount)
        return std::nullopt;
    static constexpr double unitsPerDay[] = {86400.0, 1440.0, 24.0, 1.0};
    if (options.PeriodType < 0 || options.PeriodType >= static_cast<int>(std::size(unitsPerDay)))
        return 1.0 / 24;
    return std::max(*amount, 1) / unitsPerDay[options.PeriodType];
}

} // namespace

QString HostSettings::logPath() const {
    return logfile::ResolvePath(logDirectory, profile.LogFile);
}

QString HostSettings::canonicalLogPath() const {
    return io::realPath(logPath());
}

QString HostSettings::unusable(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        if (error == ELOOP)
            return QStringLiteral("it is a symbolic link loop");
        struct stat link {};
        if (error == ENOENT && ::lstat(name.constData(), &link) == 0)
            return QStringLiteral("it is a symbolic link to nothing");
        return withError("it cannot be reached", error);
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("it is a FIFO");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("it is a socket");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("it is a device");
    // Opening without waiting, should it have been swapped for a FIFO since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return withError("it cannot be read", errno);
    ::close(fd);
    return QString();
}

std::optional<HostSettings> HostSettings::load(const QString& file, const QString& logDirectory, QChar decimalSeparator,
                                               QString* error) {
    if (const QString why = unusable(file); !why.isEmpty()) {
        *error = why;
        return std::nullopt;
    }
    const QFileInfo info(file);
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
    // Without a Period (a fraction of a day), the dialog's amount and unit
    // say it, as they do once the dialog is confirmed in the window. With
    // neither, it stays the window's one minute.
    const bool typed = !ini.ReadString(Logging, PeriodAmount, QString()).isEmpty() ||
                       !ini.ReadString(Logging, PeriodType, QString()).isEmpty();
    if (ini.ReadString(Logging, Period, QString()).isEmpty() && typed) {
        const auto period = dialogPeriod(s.profile.Options);
        if (!period) {
            *error = QStringLiteral("[%1] %2=%3 is no whole number")
                         .arg(Logging, PeriodAmount, s.profile.Options.PeriodAmount);
            return std::nullopt;
        }
        s.profile.Period = *period;
    }
    QString limitError;
    s.profile.LimitBytes(&limitError);
    if (!limitError.isEmpty()) {
        *error = QStringLiteral("[Logging] LogfileLimitKb: %1").arg(limitError);
        return std::nullopt;
    }
    return s;
}
