#include "outages/OutagesModel.h"

#include "icmp/AddressText.h"
#include "outages/Swatch.h"
#include "report/CauseColours.h"
#include "report/Format.h"

#include <QColor>

#include <algorithm>

namespace {

const QString kInProgress = QStringLiteral("(in progress)");

} // namespace

void OutagesModel::setRows(const QList<LedgerRow>& rows) {
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void OutagesModel::addRow(const LedgerRow& row) {
    // The row that ends the outage in progress takes its place.
    if (m_inProgress && m_inProgress->kind == row.kind && m_inProgress->start == row.start)
        setInProgress(std::nullopt);
    const int at = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.append(row);
    endInsertRows();
}

void OutagesModel::setLiveRow(std::optional<LedgerRow>& slot, int at, const std::optional<LedgerRow>& row) {
    if (slot && row) {
        slot = row;
        emit dataChanged(index(at, 0), index(at, ColumnCount - 1));
    } else if (slot) {
        beginRemoveRows(QModelIndex(), at, at);
        slot.reset();
        endRemoveRows();
    } else if (row) {
        beginInsertRows(QModelIndex(), at, at);
        slot = row;
        endInsertRows();
    }
}

void OutagesModel::setInProgress(const std::optional<LedgerRow>& row) {
    // Right after the finished rows; the time not watched follows it.
    setLiveRow(m_inProgress, static_cast<int>(m_rows.size()), row);
}

void OutagesModel::setNotWatched(const std::optional<LedgerRow>& row) {
    setLiveRow(m_notWatched, static_cast<int>(m_rows.size()) + (m_inProgress ? 1 : 0), row);
}

void OutagesModel::setNow(const QDateTime& now) {
    m_now = now;
    const int at = static_cast<int>(m_rows.size());
    if (rowCount() > at)
        emit dataChanged(index(at, 0), index(rowCount() - 1, ColumnCount - 1));
}

LedgerRow OutagesModel::inProgressUntilNow() const {
    LedgerRow row = *m_inProgress;
    if (m_now.isValid() && row.start.isValid()) {
        row.end = std::max(m_now, row.start);
        row.durationMs = row.start.msecsTo(row.end);
    }
    return row;
}

QList<LedgerRow> OutagesModel::liveRows() const {
    QList<LedgerRow> rows;
    if (m_inProgress) {
        LedgerRow row = inProgressUntilNow();
        if (row.note.isEmpty())
            row.note = QStringLiteral("in progress");
        rows.append(row);
    }
    if (m_notWatched)
        rows.append(*m_notWatched);
    return rows;
}

QList<LedgerRow> OutagesModel::rowsUntilNow() const {
    return m_rows + liveRows();
}

int OutagesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size()) + (m_inProgress ? 1 : 0) + (m_notWatched ? 1 : 0);
}

int OutagesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OutagesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const bool inProgress = index.row() >= m_rows.size();
    const LedgerRow row = !inProgress
                              ? m_rows.at(index.row())
                              : (index.row() == m_rows.size() && m_inProgress ? inProgressUntilNow() : *m_notWatched);
    switch (role) {
    case Qt::DisplayRole:
        return display(row, index.column(), inProgress);
    case SortRole:
        return sortKey(row, index.column());
    case Qt::DecorationRole:
        if (index.column() == Cause && row.kind == LedgerRow::Kind::Outage)
            return swatch(report::causeColour(row.cause));
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == Duration || index.column() == EchoesLost)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ForegroundRole:
        if (inProgress)
            return QColor(0xb0, 0x1c, 0x1c);
        return {};
    default:
        return {};
    }
}

QVariant OutagesModel::display(const LedgerRow& row, int column, bool inProgress) const {
    const bool outage = row.kind == LedgerRow::Kind::Outage;
    switch (column) {
    case Kind:
        return report::kindText(row.kind);
    case Start:
        return report::stampText(row.start);
    case End:
        return inProgress ? kInProgress : report::stampText(row.end);
    case Duration:
        return report::durationText(row.durationMs);
    case Host:
        return inet::hostLabel(row.host, row.address);
    case Address:
        return row.address;
    case EchoesLost:
        return outage ? QString::number(row.echoesLost) : QString();
    case FirstStatus:
        return row.firstStatus;
    case Cause:
        return outage ? report::causeText(row) : QString();
    case CausesSeen:
        return row.causesSeen.join(QStringLiteral("; "));
    case Gateway:
        return row.gateway;
    case Interface:
        return row.interface;
    case Note:
        return row.note;
    default:
        return {};
    }
}

QVariant OutagesModel::sortKey(const LedgerRow& row, int column) const {
    switch (column) {
    case Start:
        return row.start.isValid() ? row.start.toMSecsSinceEpoch() : 0;
    case End:
        return row.end.isValid() ? row.end.toMSecsSinceEpoch() : 0;
    case Duration:
        return row.durationMs;
    case EchoesLost:
        return row.echoesLost;
    default:
        return display(row, column, false);
    }
}

QVariant OutagesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList titles{
        QStringLiteral("Kind"),        QStringLiteral("Start"),        QStringLiteral("End"),
        QStringLiteral("Duration"),    QStringLiteral("Host"),         QStringLiteral("Address"),
        QStringLiteral("Echoes lost"), QStringLiteral("First status"), QStringLiteral("Cause"),
        QStringLiteral("Causes seen"), QStringLiteral("Gateway"),      QStringLiteral("Interface"),
        QStringLiteral("Note")};
    return titles.value(section);
}
