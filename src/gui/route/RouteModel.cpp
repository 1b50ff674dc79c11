#include "route/RouteModel.h"

#include <QColor>

namespace {

QString millis(double micros) {
    return micros < 0 ? QStringLiteral("-") : QString::number(micros / 1000.0, 'f', 3);
}

} // namespace

RouteModel::RouteModel(NameOf nameOf, QObject* parent) : QAbstractTableModel(parent), m_nameOf(std::move(nameOf)) {}

void RouteModel::setPath(const PathSnapshot& path) {
    std::vector<Row> rows;
    for (int i = 0; i < static_cast<int>(path.hops.size()); ++i) {
        const HopRecord& hop = path.hops[static_cast<std::size_t>(i)];
        if (hop.count() == 0)
            rows.push_back({i + 1, -1});
        for (int r = 0; r < hop.count(); ++r)
            rows.push_back({i + 1, r});
    }
    const bool sameShape = rows.size() == m_rows.size();
    if (!sameShape)
        beginResetModel();
    m_path = path;
    m_rows = std::move(rows);
    if (!sameShape)
        endResetModel();
    else if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, Columns - 1));
}

void RouteModel::clear() {
    setPath({});
}

void RouteModel::nameArrived(const QString& address) {
    for (int i = 0; i < rowCount(); ++i)
        if (data(index(i, Address)).toString() == address)
            emit dataChanged(index(i, Name), index(i, Name));
}

int RouteModel::hopOf(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].hop : 0;
}

int RouteModel::rowOf(int hop) const {
    for (int i = 0; i < rowCount(); ++i)
        if (m_rows[static_cast<std::size_t>(i)].hop == hop)
            return i;
    return -1;
}

int RouteModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RouteModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QString RouteModel::text(const Row& row, int column) const {
    const HopRecord& hop = m_path.hops[static_cast<std::size_t>(row.hop - 1)];
    const bool first = row.responder <= 0;
    const HopRecord::Responder* r = row.responder >= 0 ? &hop.responder(row.responder) : nullptr;
    switch (column) {
    case Hop:
        return QString::number(row.hop);
    case Address:
        return r ? QString::fromStdString(r->address.text()) : QStringLiteral("*");
    case Name:
        return r && m_nameOf ? m_nameOf(r->address) : QString();
    case Loss:
        return first ? QString::number(hop.loss() * 100.0, 'f', 1) + u'%' : QString();
    case Sent:
        return first ? QString::number(hop.sent()) : QString();
    case Last:
        return r ? millis(double(r->lastMicros)) : QString();
    case Mean:
        return r ? millis(r->meanMicros()) : QString();
    case Best:
        return r ? millis(double(r->bestMicros)) : QString();
    case Worst:
        return r ? millis(double(r->worstMicros)) : QString();
    case Jitter:
        return r ? millis(r->jitterMicros) : QString();
    case Note: {
        if (!first)
            return {};
        const auto& limits = m_path.reading.limitsAnswers;
        if (row.hop - 1 < static_cast<int>(limits.size()) && limits[static_cast<std::size_t>(row.hop - 1)])
            return QStringLiteral("limits its answers");
        if (row.hop == m_path.reading.lossStartHop)
            return QStringLiteral("loss starts here");
        if (row.hop == m_path.destinationHop)
            return QStringLiteral("the host");
        return {};
    }
    default:
        return {};
    }
}

QVariant RouteModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return text(row, index.column());
    if (role == Qt::TextAlignmentRole)
        return index.column() == Address || index.column() == Name || index.column() == Note
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && index.column() == Note && row.hop == m_path.reading.lossStartHop)
        return QColor(0xd6, 0x27, 0x28);
    return {};
}

QVariant RouteModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[Columns] = {"Hop",  "Address", "Name",  "Loss",   "Sent", "Last",
                                               "Mean", "Best",    "Worst", "Jitter", "Note"};
    return section >= 0 && section < Columns ? QString::fromLatin1(names[section]) : QVariant();
}
