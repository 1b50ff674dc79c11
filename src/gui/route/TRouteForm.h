#pragma once

#include "trace/PathSnapshot.h"

#include <QDialog>

#include <memory>

class HopNames;
class IFileDialogs;
class IHistorySource;
class IReverseLookup;
class QLabel;
class QPushButton;
class QTableView;
class RouteModel;
class THistoryForm;

// The route window: the traced path of the watched host, live, as a table
// of its hops; and for the hop chosen in it, its round trips and loss over
// time on the History window's axis, as far back as the history holds,
// with the hop's route changes marked.
class TRouteForm : public QDialog {
    Q_OBJECT
public:
    TRouteForm(QWidget* parent, IReverseLookup& names, IFileDialogs* dialogs);
    ~TRouteForm() override;

    // Reads the history at `historyPath` (a History.db) and shows the path
    // of `host`, the watched one; `tracing`: whether its path is traced.
    void open(const QString& historyPath, const QString& host, bool tracing);
    // The history to read the hops' route changes from, when not a file's.
    void setSource(IHistorySource* source);
    // Shows hop `hop` below the table.
    void showHop(int hop);
    int shownHop() const { return m_hop; }

    QLabel* lbPath;
    QLabel* lbLoss;
    QTableView* tvHops;
    QLabel* lbHop;
    THistoryForm* hopHistory;
    QPushButton* btnClose;
    RouteModel* model() const { return m_model; }

public slots:
    // A round of the trace ended: the path as it stands.
    void showPath(const PathSnapshot& path);
    // New probes were kept: the hop's route changes are read again (the
    // hop's history reads its newest seconds at each tick by itself).
    void echoesArrived();

private:
    void showMarks();
    void showTitle();

    std::unique_ptr<HopNames> m_names;
    RouteModel* m_model;
    std::unique_ptr<IHistorySource> m_reader;
    IHistorySource* m_source = nullptr;
    QString m_historyPath;
    QString m_host;
    bool m_tracing = false;
    int m_hop = 0;
    int m_marks = -1; // how many route changes the hop showed
};
