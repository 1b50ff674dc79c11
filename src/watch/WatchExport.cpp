#include "WatchExport.h"

#include "HostSettings.h"
#include "ReportRange.h"
#include "WatchArguments.h"
#include "history/HistoryExport.h"
#include "history/HistoryFile.h"
#include "history/HistoryReader.h"
#include "io/RealPath.h"
#include "ledger/LedgerFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBadInput = 2;

// Whether `target` is one of the host's own files: its settings, its log,
// its ledger or the history and the files SQLite keeps beside it.
bool ownFile(const QString& target, const HostSettings& settings, const QString& historyPath) {
    const QString history = io::realPath(historyPath);
    const QString ledger = io::realPath(LedgerFile::ledgerPath(settings.logPath()));
    return target == io::realPath(settings.file) || target == settings.canonicalLogPath() || target == ledger ||
           target.startsWith(ledger + u'.') || target == history || target.startsWith(history + u'-') ||
           target.startsWith(history + u'.');
}

} // namespace

int exportHistory(const WatchArguments& arguments, const QDateTime& now,
                  const std::function<void(const QString& line)>& say) {
    const auto fail = [&](const QString& message) {
        say(QStringLiteral("linkvigil-watch: ") + message);
        return kBadInput;
    };
    const auto format = arguments.exportFormat();
    if (!format)
        return fail(QStringLiteral("unknown --format %1: csv or jsonl").arg(arguments.exportFormatName));
    QString problem;
    const auto range = ReportRange::parse(arguments.exportPeriod, now, &problem);
    if (!range)
        return fail(problem);
    const QString file = arguments.settingsFiles.value(0);
    const auto settings = HostSettings::load(file, arguments.logDirectory, u'.', &problem);
    if (!settings)
        return fail(QStringLiteral("%1: %2").arg(file, problem));

    // A missing file, or one that is no history, reads as holding no host.
    const QString host = settings->host();
    const QString historyPath = HistoryFile::pathForLog(settings->logPath());
    HistoryReader reader(historyPath);
    const QList<HistoryHost> hosts = reader.hosts();
    if (std::none_of(hosts.begin(), hosts.end(), [&](const HistoryHost& h) { return h.host == host; }))
        return fail(QStringLiteral("no history of %1 in %2").arg(host, historyPath));

    QFile out;
    const bool toFile = !arguments.exportToStandardOutput();
    if (toFile) {
        if (QFileInfo(arguments.exportFile).isDir())
            return fail(QStringLiteral("%1 is a folder: name the file to write").arg(arguments.exportFile));
        if (ownFile(io::realPath(arguments.exportFile), *settings, historyPath))
            return fail(QStringLiteral("%1 is one of the files of %2: name another file for the export")
                            .arg(arguments.exportFile, host));
        out.setFileName(arguments.exportFile);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(QStringLiteral("cannot write %1 (%2)").arg(arguments.exportFile, out.errorString()));
    } else if (!out.open(stdout, QIODevice::WriteOnly)) {
        return fail(QStringLiteral("cannot write to standard output (%1)").arg(out.errorString()));
    }

    const history::ExportResult result = history::exportEchoes(reader, host, range->from.toMSecsSinceEpoch(),
                                                               range->to.toMSecsSinceEpoch(), *format, out);
    const QString target = toFile ? arguments.exportFile : QStringLiteral("standard output");
    if (!result.ok)
        return fail(QStringLiteral("cannot write %1 (%2)").arg(target, result.error));
    if (!out.flush())
        return fail(QStringLiteral("cannot write %1 (%2)").arg(target, out.errorString()));
    if (toFile) {
        out.close();
        if (out.error() != QFileDevice::NoError)
            return fail(QStringLiteral("cannot write %1 (%2)").arg(target, out.errorString()));
        say(QStringLiteral("linkvigil-watch: %1 echo(es) of %2 written to %3")
                .arg(result.echoes)
                .arg(host, arguments.exportFile));
    }
    return 0;
}
