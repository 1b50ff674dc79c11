#pragma once

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
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class TTotalsGrid;

// The outage window: the totals of the last 24 hours, 7 days and 30 days
// above, the ledger's rows below in a table sorted by any column (newest
// first to begin with), and the period's report as PDF or its rows as CSV
// on request. It follows the ledger as rows arrive and shows the outage in
// progress; the totals follow the clock once a minute.
class TOutagesForm : public QDialog {
    Q_OBJECT
public:
    using Period = TPeriodDialog::Period;

    TOutagesForm(QWidget* parent, IFileDialogs* dialogs);

    // Reads the ledger file; its rows replace those shown. Watching began,
    // unless set, when the file was made or at its first row.
    void setLedger(const QString& path, const QString& host);
    void addRow(const LedgerRow& row);
    void setInProgress(const std::optional<LedgerRow>& row);
    void setWatchedSince(const QDateTime& since);

    // Where "now" comes from: the system clock unless set.
    void setClock(std::function<QDateTime()> now);
    // Asks for the period of an export, titled as the export; the period
    // dialog unless set. None when the user cancelled.
    std::function<std::optional<Period>(const QString& title)> askPeriod;

    TTotalsGrid* totals;
    QTableView* tvRows;
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

    IFileDialogs* m_dialogs;
    OutagesModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTimer* m_timer;
    std::function<QDateTime()> m_now;
    QString m_ledgerPath;
    QString m_host;
    QDateTime m_watchedSince;
    bool m_watchedSinceSet = false;
};
