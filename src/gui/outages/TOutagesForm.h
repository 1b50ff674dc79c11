#pragma once

#include "ledger/LedgerQuery.h"
#include "ledger/LedgerRow.h"
#include "outages/TPeriodDialog.h"

#include <QDateTime>
#include <QDialog>
#include <QList>

#include <functional>
#include <optional>
#include <utility>

class IFileDialogs;
class OutagesModel;
class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class TTotalsGrid;

// The outage window: the totals of the last 24 hours, 7 days and 30 days
// above, the ledger's rows below in a table sorted by any column (newest
// first to begin with), and the period's report as PDF or its rows as CSV
// on request. It shows one host of the ledger at a time, the watched one to
// begin with (the hosts whose logs share a folder share its ledger), or
// every host's rows without totals. It follows the ledger as rows arrive,
// shows the outage in progress and the time the host has not been watched
// up to now; the totals follow the clock once a minute.
class TOutagesForm : public QDialog {
    Q_OBJECT
public:
    using Period = TPeriodDialog::Period;

    TOutagesForm(QWidget* parent, IFileDialogs* dialogs);

    // Reads the ledger file for `host`, the one being watched; its rows
    // replace those shown. Watching began, unless set, as the host's stamp
    // beside the ledger tells, or at its first row.
    void setLedger(const QString& path, const QString& host);
    // The interval and time-out `host` is probed with, for its report.
    void setProbing(const QString& host, int intervalMs, int timeoutMs) {
        m_probedHost = host;
        m_intervalMs = intervalMs;
        m_timeoutMs = timeoutMs;
    }
    // Shows another host of the ledger; empty for every host.
    void showHost(const QString& host);
    const QString& shownHost() const { return m_host; }
    // At most this many rows are shown, the newest.
    static constexpr qsizetype MaxRows = 20'000;
    void addRow(const LedgerRow& row);
    void setInProgress(const std::optional<LedgerRow>& row);
    void setWatchedSince(const QDateTime& since);

    // Where the window is, "X,Y,WIDTH,HEIGHT", for the settings file; and
    // placing it there (text that is no such place, or one off every
    // screen, is ignored). Placed once shown or set.
    QString geometryText() const;
    void setGeometryText(const QString& text);
    bool placed() const { return m_placed; }

    // Where "now" comes from: the system clock unless set.
    void setClock(std::function<QDateTime()> now);
    // Asks for the period of an export, titled as the export; the period
    // dialog unless set. None when the user cancelled.
    std::function<std::optional<Period>(const QString& title)> askPeriod;

    QComboBox* cbHost;
    TTotalsGrid* totals;
    QTableView* tvRows;
    QLabel* lbNote; // rows skipped or not shown
    QPushButton* btnExportReport;
    QPushButton* btnExportTable;
    QPushButton* btnClose;

public slots:
    // Sums and the outage in progress as of now.
    void refresh();
    void btnExportReportClick();
    void btnExportTableClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::optional<Period> askDialogPeriod(const QString& title);
    // The file to export to, asked for with the period in its proposed name;
    // empty when the user cancelled or would not replace an existing file.
    QString askFile(const QString& title, const QString& filter, const QString& suffix, const Period& period);
    // The period, then the file: nothing when either is cancelled.
    std::optional<std::pair<Period, QString>> askExport(const QString& title, const QString& filter,
                                                        const QString& suffix);
    void reload();
    void fillHosts(const QList<ledger::KnownHost>& hosts);
    bool shows(const LedgerRow& row) const { return m_host.isEmpty() || row.host == m_host; }

    IFileDialogs* m_dialogs;
    OutagesModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTimer* m_timer;
    std::function<QDateTime()> m_now;
    QString m_ledgerPath;
    QString m_watchedHost; // the one the engine watches
    QString m_host;        // the one shown; empty: every host
    QString m_probedHost;
    int m_intervalMs = 0;
    int m_timeoutMs = 0;
    std::optional<LedgerRow> m_inProgress;
    QDateTime m_firstStart; // of the shown host's rows
    QString m_hostAddress;  // of its last row
    QString m_readNote;
    QDateTime m_watchedSince;
    bool m_watchedSinceSet = false;
    bool m_placed = false;
};
