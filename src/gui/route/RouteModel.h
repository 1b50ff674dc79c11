#pragma once

#include "trace/PathSnapshot.h"

#include <QAbstractTableModel>

#include <functional>

// The traced path as a table, as path tools report it: a row per hop and
// per further address that answered it (a "*" row for a hop nobody
// answered), with the hop's loss and probes sent, each address's last,
// mean, best and worst round trip and jitter in milliseconds, its name
// once known, and a note where the hop limits its answers or the path's
// loss starts.
class RouteModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Hop, Address, Name, Loss, Sent, Last, Mean, Best, Worst, Jitter, Note, Columns };
    using NameOf = std::function<QString(const IpAddress&)>;

    explicit RouteModel(NameOf nameOf, QObject* parent = nullptr);

    void setPath(const PathSnapshot& path);
    void clear();
    // A name came for `address`: the rows that show it are drawn again.
    void nameArrived(const QString& address);
    const PathSnapshot& path() const { return m_path; }
    // The hop shown in `row`, 0 when there is no such row.
    int hopOf(int row) const;
    // The first row of `hop`, -1 when the path has none.
    int rowOf(int hop) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        int hop;       // 1 ...
        int responder; // of the hop; -1: nobody answered it
    };

    QString text(const Row& row, int column) const;

    NameOf m_nameOf;
    PathSnapshot m_path;
    std::vector<Row> m_rows;
};
