#include "WatchArguments.h"

#include <QDir>
#include <QFileInfo>

QString WatchArguments::usage() {
    return QStringLiteral("usage: linkvigil-watch [--metrics [ADDR:]PORT] [--log-dir DIR] CONFIG.ini|DIR ...\n"
                          "       linkvigil-watch [--log-dir DIR] --report FROM..TO CONFIG.ini OUT.pdf\n"
                          "Watches the host of each settings file (a folder: each *.ini in it) until\n"
                          "SIGTERM or SIGINT; --metrics serves GET /metrics for Prometheus (address\n"
                          "127.0.0.1 unless given); --log-dir holds the relative log names.\n"
                          "--report writes the outage report of one host for a period (dates or\n"
                          "date-times; an empty end is now, an empty start 30 days before the end).\n");
}

std::optional<WatchArguments> WatchArguments::parse(const QStringList& arguments, QString* error) {
    WatchArguments result;
    QStringList paths;
    bool optionsDone = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const auto value = [&](const QString& option) -> std::optional<QString> {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                *error = QStringLiteral("%1 needs a value").arg(option);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (!optionsDone && (arg == u"--help" || arg == u"-h")) {
            result.help = true;
            return result;
        } else if (!optionsDone && arg == u"--") {
            optionsDone = true;
        } else if (!optionsDone && arg == u"--metrics") {
            const auto v = value(arg);
            if (!v)
                return std::nullopt;
            result.metrics = *v;
        } else if (!optionsDone && arg == u"--report") {
            const auto v = value(arg);
            if (!v)
                return std::nullopt;
            result.reportPeriod = *v;
        } else if (!optionsDone && arg == u"--log-dir") {
            const auto v = value(arg);
            if (!v)
                return std::nullopt;
            if (!QFileInfo(*v).isDir()) {
                *error = QStringLiteral("--log-dir %1: no such folder").arg(*v);
                return std::nullopt;
            }
            result.logDirectory = QDir(*v).absolutePath();
        } else if (!optionsDone && arg.startsWith(u'-') && arg.size() > 1) {
            *error = QStringLiteral("unknown option %1").arg(arg);
            return std::nullopt;
        } else {
            paths << arg;
        }
    }
    if (!result.reportPeriod.isEmpty()) {
        if (paths.size() != 2 || !result.metrics.isEmpty()) {
            *error = QStringLiteral("--report takes one settings file and the PDF to write");
            return std::nullopt;
        }
        result.reportFile = paths.takeLast();
    }
    if (paths.isEmpty()) {
        *error = QStringLiteral("no settings file given");
        return std::nullopt;
    }
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QFileInfoList inside =
                QDir(path).entryInfoList({QStringLiteral("*.ini")}, QDir::Files | QDir::Readable, QDir::Name);
            if (inside.isEmpty()) {
                *error = QStringLiteral("%1: the folder holds no *.ini file").arg(path);
                return std::nullopt;
            }
            for (const QFileInfo& file : inside)
                result.settingsFiles << file.absoluteFilePath();
        } else if (!info.exists()) {
            *error = QStringLiteral("%1: no such file").arg(path);
            return std::nullopt;
        } else {
            result.settingsFiles << info.absoluteFilePath();
        }
    }
    result.settingsFiles.removeDuplicates();
    return result;
}
