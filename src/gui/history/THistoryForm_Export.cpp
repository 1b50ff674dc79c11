// The history window's exports: the view as PNG, its echoes as CSV or
// JSON lines. The echoes are written on the fetcher's thread, the window
// goes on meanwhile.

#include "history/HistoryExport.h"
#include "history/HistoryFetcher.h"
#include "history/THistoryChart.h"
#include "history/THistoryForm.h"

#include "TApplication.h"
#include "seams/IFileDialogs.h"
#include "seams/IMessageBoxes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>

#include <memory>

namespace {

// The history as the export reads it, ending its reading once the window
// goes away.
class Cancellable : public IHistorySource {
public:
    Cancellable(IHistorySource& source, const std::atomic<bool>& cancelled)
        : m_source(source), m_cancelled(cancelled) {}
    QList<HistoryHost> hosts() override { return m_source.hosts(); }
    QList<HistoryBucket> buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) override {
        return m_source.buckets(host, fromMs, toMs, columns);
    }
    void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                     const std::function<bool(const EchoSample&)>& take) override {
        m_source.forEachEcho(host, fromMs, toMs, [&](const EchoSample& echo) { return !m_cancelled && take(echo); });
    }

private:
    IHistorySource& m_source;
    const std::atomic<bool>& m_cancelled;
};

QString stamp(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).toString(QStringLiteral("yyyy-MM-dd HH-mm"));
}

} // namespace

QString THistoryForm::askFile(const QString& title, const QString& filter, const QString& suffix) {
    if (!m_dialogs)
        return {};
    // "History example.com 2026-12-08 12-00 to 2026-12-08 13-00.csv"
    const HistoryViewport& view = chart->view();
    const QString name =
        QStringLiteral("History %1 %2 to %3.%4")
            .arg(QString(m_host).replace(u'/', u'_'), stamp(view.fromMs()), stamp(view.toMs()), suffix);
    QString path = m_dialogs->ChooseNewOrExistingFile(
        this, title, filter, m_exportFolder, m_exportFolder.isEmpty() ? name : QDir(m_exportFolder).filePath(name));
    if (path.isEmpty())
        return {};
    if (QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    if (QFileInfo::exists(path) &&
        TApplication::Boxes().Ask(IMessageBoxes::Kind::Confirmation,
                                  QStringLiteral("%1 already exists. Do you want to replace it?").arg(path),
                                  IMessageBoxes::Yes | IMessageBoxes::No) != IMessageBoxes::Yes)
        return {};
    m_exportFolder = QFileInfo(path).absolutePath();
    return path;
}

void THistoryForm::btnExportImageClick() {
    const QString path = askFile(QStringLiteral("Export image"),
                                 QStringLiteral("PNG images (*.png)|*.png|All files (*.*)|*.*"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    const bool ok = chart->image().save(path, "PNG");
    if (!ok)
        TApplication::Boxes().ShowError(QStringLiteral("Unable to write %1").arg(path));
    else
        lbReadout->setText(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)));
    emit exportFinished(path, ok);
}

void THistoryForm::btnExportEchoesClick() {
    if (!m_fetcher || m_host.isEmpty())
        return;
    const QString path =
        askFile(QStringLiteral("Export echoes"),
                QStringLiteral("CSV files (*.csv)|*.csv|JSON lines (*.jsonl)|*.jsonl|All files (*.*)|*.*"),
                QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    const QString host = m_host;
    const qint64 from = chart->view().fromMs();
    const qint64 to = chart->view().toMs();
    const history::ExportFormat format = history::formatForFile(path);
    auto result = std::make_shared<history::ExportResult>();
    btnExportEchoes->setEnabled(false);
    lbReadout->setText(QStringLiteral("Exporting to %1 ...").arg(QDir::toNativeSeparators(path)));
    m_fetcher->run(
        [=](IHistorySource& source, const std::atomic<bool>& cancelled) {
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly)) {
                *result = {0, false, file.errorString()};
                return;
            }
            Cancellable reading(source, cancelled);
            *result = history::exportEchoes(reading, host, from, to, format, file);
            if (result->ok && !cancelled && !file.commit())
                *result = {result->echoes, false, file.errorString()};
        },
        [this, result, path] {
            btnExportEchoes->setEnabled(true);
            if (result->ok)
                lbReadout->setText(
                    QStringLiteral("Exported %1 echoes to %2").arg(result->echoes).arg(QDir::toNativeSeparators(path)));
            else
                TApplication::Boxes().ShowError(QStringLiteral("Unable to write %1: %2").arg(path, result->error));
            emit exportFinished(path, result->ok);
        });
}
