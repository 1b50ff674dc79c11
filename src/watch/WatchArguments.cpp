#include "WatchArguments.h"

#include "HostSettings.h"
#include "StopSignals.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

QString WatchArguments::usage() {
    return QStringLiteral("usage: linkvigil-watch [--metrics [ADDR:]PORT] [--log-dir DIR] CONFIG.ini|DIR ...\n"
                          "       linkvigil-watch [--log-dir DIR] --report FROM..TO CONFIG.ini OUT.pdf\n"
                          "Watches the host of each settings file (a folder: each *.ini in it) until\n"
                          "SIGTERM or SIGINT; --metrics serves GET /metrics for Prometheus (address\n"
                          "127.0.0.1 unless given); --log-dir holds the relative log names.\n"
                          "--report writes the outage report of one host for a period (dates or\n"
                          "date-times; an empty end is now, an empty start 30 days before the end).\n");
}

std::optional<WatchArguments> WatchArguments::parse(const QStringList& arguments, QString* error,
                                                    QStringList* skipped) {
    QStringList ignored;
    if (!skipped)
        skipped = &ignored;
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
    // The same file through a linked folder or a second path is one host.
    QSet<QString> seen;
    const auto add = [&](const QFileInfo& file) {
        QString key = file.canonicalFilePath();
        if (key.isEmpty()) // a link to nothing: refused when read
            key = file.absoluteFilePath();
        if (seen.contains(key))
            return;
        seen.insert(key);
        result.settingsFiles << file.absoluteFilePath();
    };
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            // Every entry, links to nothing and FIFOs included, so that each
            // one left out is named.
            const QFileInfoList inside = QDir(path).entryInfoList(
                {QStringLiteral("*.ini")}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            if (inside.isEmpty()) {
                *error = QStringLiteral("%1: the folder holds no *.ini file").arg(path);
                return std::nullopt;
            }
            for (const QFileInfo& file : inside) {
                // A large folder takes a while: a stop asked for meanwhile
                // ends the reading, with the signal left waiting.
                if (StopSignals::pending()) {
                    error->clear();
                    return std::nullopt;
                }
                if (const QString why = HostSettings::unusable(file.absoluteFilePath()); !why.isEmpty()) {
                    *skipped << QStringLiteral("%1: skipped, %2").arg(file.absoluteFilePath(), why);
                } else {
                    add(file);
                }
            }
        } else if (!info.exists() && !info.isSymLink()) {
            *error = QStringLiteral("%1: no such file").arg(path);
            return std::nullopt;
        } else {
            // Named on purpose: one that cannot be used is refused when read.
            add(info);
        }
    }
    // Only folders were given, and each of their entries was left out.
    if (result.settingsFiles.isEmpty()) {
        *error = QStringLiteral("nothing left to watch");
        return std::nullopt;
    }
    return result;
}
