#include "route/TRouteForm.h"

#include "Fonts.h"
#include "history/HistoryReader.h"
#include "history/HopSeries.h"
#include "history/THistoryForm.h"
#include "resources/Icons.h"
#include "route/RouteModel.h"
#include "trace/HopNames.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>

TRouteForm::TRouteForm(QWidget* parent, IReverseLookup& names, IFileDialogs* dialogs)
    : QDialog(parent), m_names(std::make_unique<HopNames>(names)) {
    setObjectName(QStringLiteral("RouteForm"));
    setWindowTitle(QStringLiteral("Route"));
    setWindowIcon(icons::program());
    setFont(fonts::windowFont());
    setModal(false);
    setSizeGripEnabled(true);
    resize(900, 640);

    m_model = new RouteModel([this](const IpAddress& a) { return m_names->nameOf(a); }, this);
    connect(m_names.get(), &HopNames::named, m_model, &RouteModel::nameArrived);

    lbPath = new QLabel(this);
    lbPath->setObjectName(QStringLiteral("lbPath"));
    lbLoss = new QLabel(this);
    lbLoss->setObjectName(QStringLiteral("lbLoss"));
    QPalette warn = lbLoss->palette();
    warn.setColor(QPalette::WindowText, QColor(0xd6, 0x27, 0x28));
    lbLoss->setPalette(warn);

    tvHops = new QTableView(this);
    tvHops->setObjectName(QStringLiteral("tvHops"));
    tvHops->setModel(m_model);
    tvHops->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvHops->setSelectionMode(QAbstractItemView::SingleSelection);
    tvHops->verticalHeader()->hide();
    tvHops->verticalHeader()->setDefaultSectionSize(tvHops->fontMetrics().height() + 6);
    tvHops->horizontalHeader()->setStretchLastSection(true);
    tvHops->setColumnWidth(RouteModel::Hop, 40);
    tvHops->setColumnWidth(RouteModel::Address, 130);
    tvHops->setColumnWidth(RouteModel::Name, 150);
    for (int c = RouteModel::Loss; c < RouteModel::Note; ++c)
        tvHops->setColumnWidth(c, 56);
    connect(tvHops->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (const int hop = m_model->hopOf(current.row()))
                    showHop(hop);
            });

    lbHop = new QLabel(this);
    lbHop->setObjectName(QStringLiteral("lbHop"));
    hopHistory = new THistoryForm(this, nullptr, dialogs);
    hopHistory->setObjectName(QStringLiteral("hopHistory"));
    hopHistory->embed();

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setAutoDefault(false);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbPath);
    layout->addWidget(lbLoss);
    layout->addWidget(tvHops, 2);
    layout->addWidget(lbHop);
    layout->addWidget(hopHistory, 3);
    layout->addLayout(buttons);
    showTitle();
}

TRouteForm::~TRouteForm() = default;

void TRouteForm::open(const QString& historyPath, const QString& host, bool tracing) {
    m_tracing = tracing;
    if (historyPath != m_historyPath || (!m_reader && !m_source)) {
        m_historyPath = historyPath;
        hopHistory->open(historyPath, QString(), m_hop ? history::hopSeries(host, m_hop) : QString());
        m_reader = std::make_unique<HistoryReader>(historyPath);
        m_source = m_reader.get();
    }
    if (host != m_host) {
        m_host = host;
        m_model->clear();
        m_hop = 0;
        showHop(0);
    }
    showTitle();
}

void TRouteForm::setSource(IHistorySource* source) {
    m_reader.reset();
    m_source = source;
    hopHistory->setSource(source);
    m_marks = -1;
    showMarks();
}

void TRouteForm::showPath(const PathSnapshot& path) {
    const int selected = m_hop;
    m_model->setPath(path);
    showTitle();
    // The hop the user chose stays chosen; to begin with, the path's end.
    const int hop = selected ? selected : (path.destinationHop ? path.destinationHop : int(path.hops.size()));
    if (const int row = m_model->rowOf(hop); row >= 0 && tvHops->currentIndex().row() != row)
        tvHops->setCurrentIndex(m_model->index(row, 0));
    else if (hop != m_hop)
        showHop(hop);
}

void TRouteForm::showTitle() {
    const PathSnapshot& path = m_model->path();
    const QString target = path.target.valid() ? QString::fromStdString(path.target.text()) : QString();
    if (m_host.isEmpty())
        lbPath->setText(QStringLiteral("No host is watched."));
    else if (!m_tracing && path.hops.empty())
        lbPath->setText(
            QStringLiteral("The path to %1 is not traced: turn on \"Trace the path\" in Settings / Logs.").arg(m_host));
    else if (path.hops.empty())
        lbPath->setText(QStringLiteral("Tracing the path to %1 ...").arg(m_host));
    else if (path.destinationHop)
        lbPath->setText(QStringLiteral("Path to %1 (%2): %3 hops, round %4")
                            .arg(m_host, target)
                            .arg(path.destinationHop)
                            .arg(path.round));
    else
        lbPath->setText(QStringLiteral("Path to %1 (%2): the host did not answer; %3 hops probed, round %4")
                            .arg(m_host, target)
                            .arg(path.hops.size())
                            .arg(path.round));
    const QString loss = path.reading.lossStartText();
    lbLoss->setText(loss.isEmpty() ? QString() : QStringLiteral("Loss on the path: ") + loss);
    lbLoss->setVisible(!loss.isEmpty());
}

void TRouteForm::showHop(int hop) {
    const bool changed = hop != m_hop;
    m_hop = hop;
    if (hop <= 0 || m_host.isEmpty()) {
        lbHop->setText(QStringLiteral("Choose a hop to see it over time."));
        hopHistory->setMarks({});
        return;
    }
    const PathSnapshot& path = m_model->path();
    QString address;
    if (hop <= static_cast<int>(path.hops.size()) && path.hops[static_cast<std::size_t>(hop - 1)].count() > 0)
        address = QString::fromStdString(path.hops[static_cast<std::size_t>(hop - 1)].responder(0).address.text());
    lbHop->setText(address.isEmpty()
                       ? QStringLiteral("Hop %1 over time").arg(hop)
                       : QStringLiteral("Hop %1 (%2) over time; route changes are marked").arg(hop).arg(address));
    if (changed) {
        hopHistory->setWatchedHost(history::hopSeries(m_host, hop));
        m_marks = -1;
    }
    showMarks();
}

void TRouteForm::echoesArrived() {
    if (isVisible())
        showMarks();
}

void TRouteForm::showMarks() {
    if (!m_source || m_hop <= 0 || m_host.isEmpty())
        return;
    QList<qint64> marks;
    for (const RouteChange& change :
         m_source->routeChanges(m_host, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()))
        if (change.hop == m_hop)
            marks.append(change.atMs);
    if (marks.size() == m_marks)
        return;
    m_marks = static_cast<int>(marks.size());
    hopHistory->setMarks(marks);
}
