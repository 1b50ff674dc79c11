#include "WatchArguments.h"

#include "HostSettings.h"
#include "StopSignals.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

QString WatchArguments::usage() {
    return QStringLiteral(
        "usage: linkvigil-watch [--metrics [ADDR:]PORT] [--log-dir DIR] CONFIG.ini|DIR ...\n"
        "       linkvigil-watch [--log-dir DIR] --report FROM..TO CONFIG.ini OUT.pdf\n"
        "       linkvigil-watch [--log-dir DIR] --export FROM..TO CONFIG.ini [OUT] [--format csv|jsonl]\n"
        "Watches the host of each settings file (a folder: each *.ini in it) until\n"
        "SIGTERM or SIGINT; --metrics serves GET /metrics for Prometheus (address\n"
        "127.0.0.1 unless given); --log-dir holds the relative log names.\n"
        "--report writes the outage report of one host for a period (dates or\n"
        "date-times; an empty end is now, an empty start 30 days before the end).\n"
        "--export writes the echoes of its history in that period to OUT or, without\n"
        "OUT or with \"-\", to standard output: CSV, or JSON lines with --format jsonl\n"
        "or an OUT ending in .jsonl or .json.\n");
}

std::optional<history::ExportFormat> WatchArguments::exportFormat() const {
    if (exportFormatName.isEmpty()) {
        if (exportToStandardOutput())
            return history::ExportFormat::Csv;
        if (exportFile.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
            return history::ExportFormat::JsonLines;
        return history::formatForFile(exportFile);
    }
    if (exportFormatName.compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0)
        return history::ExportFormat::Csv;
    if (exportFormatName.compare(QStringLiteral("jsonl"), Qt::CaseInsensitive) == 0)
        return history::ExportFormat::JsonLines;
    return std::nullopt;
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
        } else if (!optionsDone && arg == u"--export") {
            const auto v = value(arg);
            if (!v)
                return std::nullopt;
            result.exportPeriod = *v;
        } else if (!optionsDone && arg == u"--format") {
            const auto v = value(arg);
            if (!v)
                return std::nullopt;
            result.exportFormatName = *v;
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
    if (!result.reportPeriod.isEmpty() && !result.exportPeriod.isEmpty()) {
        *error = QStringLiteral("--report and --export exclude each other");
        return std::nullopt;
    }
    if (!result.exportFormatName.isEmpty() && result.exportPeriod.isEmpty()) {
        *error = QStringLiteral("--format goes with --export only");
        return std::nullopt;
    }
    if (!result.exportPeriod.isEmpty()) {
        if (!result.metrics.isEmpty()) {
            *error = QStringLiteral("--export takes no --metrics");
            return std::nullopt;
        }
        if (paths.isEmpty() || paths.size() > 2) {
            *error = QStringLiteral("--export takes one settings file and, if wanted, the file to write");
            return std::nullopt;
        }
        if (paths.size() == 2)
            result.exportFile = paths.takeLast();
        // The history is of one host: a folder may hold many.
        if (QFileInfo(paths.first()).isDir()) {
            *error = QStringLiteral("%1 is a folder: --export takes one settings file").arg(paths.first());
            return std::nullopt;
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
