#pragma once

#include "history/BucketCache.h"
#include "history/BucketRequest.h"
#include "history/HistorySource.h"
#include "ledger/LedgerRow.h"

#include <QDateTime>
#include <QDialog>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

class HistoryFetcher;
class IFileDialogs;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class THistoryChart;

// The history window: every echo kept of one host at a time (the watched
// one to begin with), from a minute to all that is stored, as round trips
// with their spread and the share lost, over the outage ledger's outages
// and gaps. The history is read on a thread of its own, the buckets of the
// span in view with a screen's width on either side; the window draws what
// it has meanwhile. Live, it follows the clock. The view exports as PNG,
// its echoes as CSV or JSON lines.
class THistoryForm : public QDialog {
    Q_OBJECT
public:
    // `source` may be set later; nothing shows without one.
    THistoryForm(QWidget* parent, IHistorySource* source, IFileDialogs* dialogs);
    ~THistoryForm() override;

    void setSource(IHistorySource* source);
    // Reads the history file at `historyPath` (a History.db, read with a
    // connection of the window's own) and the outages of the ledger at
    // `ledgerPath`, and shows `host`, the watched one. Either path may stay
    // as it was; an empty ledger path draws no outages.
    void open(const QString& historyPath, const QString& ledgerPath, const QString& host);
    // Where "now" comes from: the system clock unless set.
    void setClock(std::function<QDateTime()> now);
    // The host being watched: shown, and listed whether the history holds
    // it yet or not.
    void setWatchedHost(const QString& host);
    void showHost(const QString& host);
    const QString& shownHost() const { return m_host; }
    // The ledger's rows, of any host: the shown host's are drawn.
    void setOutages(const QList<LedgerRow>& rows);
    void addOutage(const LedgerRow& row);
    void setOutageInProgress(const std::optional<LedgerRow>& row);
    // Times to mark across the plot (the route changes of a hop).
    void setMarks(const QList<qint64>& marksMs);
    // Shown inside another window: without a host choice or a Close button.
    void embed();
    // Where the export dialogs begin.
    void setExportFolder(const QString& folder) { m_exportFolder = folder; }
    // No fetch is waiting or under way.
    bool fetchesDone() const;

    QComboBox* cbHost;
    QList<QPushButton*> presets; // 1 h, 6 h, 24 h, 7 d, 30 d, All
    QPushButton* btnLive;
    QLabel* lbRange;
    THistoryChart* chart;
    QLabel* lbReadout;
    QPushButton* btnExportImage;
    QPushButton* btnExportEchoes;
    QPushButton* btnClose;

    // The presets' spans; 0 is All.
    static const QList<qint64>& presetSpans();

public slots:
    // The clock's tick: Live follows it.
    void refresh();
    void btnExportImageClick();
    void btnExportEchoesClick();

signals:
    void exportFinished(const QString& path, bool ok);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    qint64 nowMs() const;
    void requestBuckets();
    void bucketsFetched(const BucketRun& run);
    void hostsFetched(const QList<HistoryHost>& hosts);
    void fillHosts();
    void showSpans();
    void viewChanged();
    // The file to export to; empty when the user cancelled or would not
    // replace an existing file.
    QString askFile(const QString& title, const QString& filter, const QString& suffix);

    IFileDialogs* m_dialogs;
    QString m_historyPath;
    QString m_ledgerPath;
    std::unique_ptr<IHistorySource> m_reader; // the file open() names
    std::unique_ptr<HistoryFetcher> m_fetcher;
    QTimer* m_timer;
    std::function<QDateTime()> m_now;
    BucketCache m_cache;
    std::optional<BucketRequest> m_asked; // the newest request, until its answer comes
    QList<HistoryHost> m_hosts;
    bool m_hostsKnown = false;
    QString m_watchedHost;
    QString m_host;
    QList<LedgerRow> m_rows;
    std::optional<LedgerRow> m_inProgress;
    QString m_exportFolder;
    int m_ticks = 0;
};
