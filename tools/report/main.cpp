// linkvigil-report: the outage report of one host as a PDF, from its ledger.
//
//   linkvigil-report [--interval MS --timeout MS] FROM..TO LEDGER.csv HOST OUT.pdf
//
// The interval and time-out the host is probed with, when given, are named
// in the report; without them it names the echoes' spacing.
// FROM and TO are ISO dates or local dates and times (see ReportRange.h).
// Needs no display: without QT_QPA_PLATFORM it uses the offscreen platform.
// Prints nothing on success but rows of the ledger it had to skip; exits 2
// on bad arguments (a ledger that is not there among them), 1 when the PDF
// cannot be written.

#include "ReportRange.h"

#include "io/RealPath.h"
#include "ledger/HostState.h"
#include "report/Report.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int kBadInput = 2;
constexpr int kFailed = 1;

// Qt's own notes (no runtime folder under a system service, a font that is
// missing) would break the promise of printing nothing on success; only its
// critical messages get through.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

int complain(const QString& message, int code) {
    std::fprintf(stderr, "linkvigil-report: %s\n", message.toLocal8Bit().constData());
    return code;
}

// Why the report must not be written to `output`, or nothing: never over
// the ledger or the files beside it, nor over a folder.
QString refusedOutput(const QString& output, const QString& ledger) {
    if (QFileInfo(output).isDir())
        return QStringLiteral("%1 is a folder: name the PDF file to write").arg(output);
    const QString target = io::realPath(output);
    const QString ledgerFile = io::realPath(ledger);
    const QString state = io::realPath(HostState::folder(ledgerFile));
    if (target == ledgerFile || target.startsWith(ledgerFile + QLatin1Char('.')) ||
        target.startsWith(state + QLatin1Char('/')))
        return QStringLiteral("%1 is the outage ledger or a file beside it: name another file for the report")
            .arg(output);
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(quietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    int probing[2] = {0, 0}; // --interval, --timeout
    for (int i = 0; i < 2; ++i) {
        const QString name = i == 0 ? QStringLiteral("--interval") : QStringLiteral("--timeout");
        const qsizetype at = arguments.indexOf(name);
        if (at < 1)
            continue;
        bool number = false;
        probing[i] = arguments.value(at + 1).toInt(&number);
        if (!number || probing[i] <= 0)
            return complain(QStringLiteral("%1 needs a number of milliseconds").arg(name), kBadInput);
        arguments.remove(at, 2);
    }
    if (arguments.size() != 5) {
        std::fputs("usage: linkvigil-report [--interval MS --timeout MS] FROM..TO LEDGER.csv HOST OUT.pdf\n"
                   "  FROM, TO: 2026-11-01 or 2026-11-01T08:00; an empty TO is now,\n"
                   "  an empty FROM 30 days before TO; a date as TO includes that day\n",
                   stderr);
        return kBadInput;
    }
    const QString& ledger = arguments.at(2);
    const QString& host = arguments.at(3);
    const QString& output = arguments.at(4);

    QString error;
    const QDateTime now = QDateTime::currentDateTime();
    const std::optional<ReportRange> range = ReportRange::parse(arguments.at(1), now, &error);
    if (!range)
        return complain(error, kBadInput);
    const QFileInfo ledgerInfo(ledger);
    if (!ledgerInfo.exists())
        return complain(QStringLiteral("no ledger found at %1").arg(ledgerInfo.absoluteFilePath()), kBadInput);
    if (!ledgerInfo.isFile() || !ledgerInfo.isReadable())
        return complain(QStringLiteral("cannot read the ledger %1").arg(ledger), kBadInput);
    if (host.trimmed().isEmpty())
        return complain(QStringLiteral("the host is empty"), kBadInput);
    if (const QString refused = refusedOutput(output, ledger); !refused.isEmpty())
        return complain(refused, kBadInput);

    report::Source source = report::gather(ledger, host, range->from, range->to, now);
    source.intervalMs = probing[0];
    source.timeoutMs = probing[1];
    if (const QString note = source.stats.note(ledger); !note.isEmpty())
        complain(note, 0);
    if (!report::writePdf(output, source, &error))
        return complain(error, kFailed);
    return 0;
}
