#pragma once

#include "ledger/LedgerRow.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>

#include <optional>

// The ledger's rows as a table, one column per ledger field (the host as
// typed with its address beside it), and the outage in progress as a row in
// red whose end reads "(in progress)", its duration growing with the clock;
// so does the time the host has not been watched, up to now. Each cell's SortRole holds a value that sorts as the
// column means: times and lengths as numbers, not as text.
class OutagesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Kind,
        Start,
        End,
        Duration,
        Host,
        Address,
        EchoesLost,
        FirstStatus,
        Cause,
        CausesSeen,
        Gateway,
        Interface,
        Note,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(const QList<LedgerRow>& rows);
    void addRow(const LedgerRow& row);
    void setInProgress(const std::optional<LedgerRow>& row);
    // The time not watched up to now, as a gap whose end is now.
    void setNotWatched(const std::optional<LedgerRow>& row);
    // The moment the outage in progress lasts until.
    void setNow(const QDateTime& now);

    const QList<LedgerRow>& rows() const { return m_rows; }
    // The finished rows, the outage in progress ended now (noted as in
    // progress) and the time not watched, for sums and reports.
    QList<LedgerRow> rowsUntilNow() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // Puts `row` into one of the rows after the finished ones, at `at`.
    void setLiveRow(std::optional<LedgerRow>& slot, int at, const std::optional<LedgerRow>& row);
    LedgerRow inProgressUntilNow() const;
    // The rows after the finished ones: the outage in progress, the time not watched.
    QList<LedgerRow> liveRows() const;
    QVariant display(const LedgerRow& row, int column, bool inProgress) const;
    QVariant sortKey(const LedgerRow& row, int column) const;

    QList<LedgerRow> m_rows;
    std::optional<LedgerRow> m_inProgress;
    std::optional<LedgerRow> m_notWatched;
    QDateTime m_now;
};
