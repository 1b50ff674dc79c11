// The outage window's exports: the report of a period as PDF and the
// period's rows as CSV.

#include "outages/OutagesModel.h"
#include "outages/TOutagesForm.h"

#include "TApplication.h"
#include "report/Report.h"
#include "seams/IFileDialogs.h"
#include "seams/IMessageBoxes.h"

#include <QDir>

#include <QFileInfo>
#include <algorithm>

std::optional<TOutagesForm::Period> TOutagesForm::askDialogPeriod(const QString& title) {
    const QDateTime now = m_now();
    TPeriodDialog dialog(this, title, now.date());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen(now);
}

QString TOutagesForm::askFile(const QString& title, const QString& filter, const QString& suffix,
                              const Period& period) {
    if (!m_dialogs)
        return {};
    const QString folder = m_ledgerPath.isEmpty() ? QString() : QFileInfo(m_ledgerPath).absolutePath();
    // "Outages example.com 2026-11-01 to 2026-11-30.pdf"
    const QString host = m_host.isEmpty() ? QString() : m_host + QLatin1Char(' ');
    const QString name = QStringLiteral("Outages %1%2 to %3.%4")
                             .arg(host, period.from.toString(QStringLiteral("yyyy-MM-dd")),
                                  period.to.addMSecs(-1).toString(QStringLiteral("yyyy-MM-dd")), suffix);
    QString path = m_dialogs->ChooseNewOrExistingFile(this, title, filter, folder,
                                                      folder.isEmpty() ? name : QDir(folder).filePath(name));
    if (path.isEmpty())
        return {};
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    if (QFileInfo::exists(path) &&
        TApplication::Boxes().Ask(IMessageBoxes::Kind::Confirmation,
                                  QStringLiteral("%1 already exists. Do you want to replace it?").arg(path),
                                  IMessageBoxes::Yes | IMessageBoxes::No) != IMessageBoxes::Yes)
        return {};
    return path;
}

std::optional<std::pair<TOutagesForm::Period, QString>>
TOutagesForm::askExport(const QString& title, const QString& filter, const QString& suffix) {
    const std::optional<Period> period = askPeriod(title);
    if (!period)
        return std::nullopt;
    const QString path = askFile(title, filter, suffix, *period);
    if (path.isEmpty())
        return std::nullopt;
    return std::pair{*period, path};
}

void TOutagesForm::btnExportReportClick() {
    const auto target = askExport(QStringLiteral("Export report"),
                                  QStringLiteral("PDF files (*.pdf)|*.pdf|All files (*.*)|*.*"), QStringLiteral("pdf"));
    if (!target)
        return;
    const auto& [period, path] = *target;
    refresh();
    const QDateTime now = m_now();
    // The host's own rows from the ledger, with what is not written yet.
    QList<LedgerRow> live;
    if (m_inProgress && shows(*m_inProgress)) {
        LedgerRow row = *m_inProgress;
        row.end = std::max(now, row.start);
        row.durationMs = row.start.msecsTo(row.end);
        row.note = row.note.isEmpty() ? QStringLiteral("in progress") : row.note;
        live.append(row);
    }
    report::Source source = report::gather(m_ledgerPath, m_host, period.from, period.to, now, live);
    if (m_host == m_probedHost) {
        source.intervalMs = m_intervalMs;
        source.timeoutMs = m_timeoutMs;
    }
    if (m_watchedSinceSet)
        source.watchedSince = m_watchedSince;
    QString error;
    if (!report::writePdf(path, source, &error))
        TApplication::Boxes().ShowError(error);
}

void TOutagesForm::btnExportTableClick() {
    const auto target = askExport(QStringLiteral("Export table"),
                                  QStringLiteral("CSV files (*.csv)|*.csv|All files (*.*)|*.*"), QStringLiteral("csv"));
    if (!target)
        return;
    const auto& [period, path] = *target;
    QString error;
    // The rows as the ledger holds them, of the host shown or of all: the
    // outage in progress is not one yet.
    const ledger::HostRows read = ledger::readHost(m_ledgerPath, {m_host, period.from, period.to});
    if (!report::writeCsv(path, read.rows, period.from, period.to, &error))
        TApplication::Boxes().ShowError(error);
}
