#include "outages/TOutagesForm.h"

#include "Fonts.h"
#include "ledger/LedgerFile.h"
#include "outages/OutagesModel.h"
#include "outages/TTotalsGrid.h"
#include "report/Period.h"
#include "resources/Icons.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kRefreshMs = 60 * 1000;

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QLatin1String(name));
    result->setAutoDefault(false);
    return result;
}

} // namespace

TOutagesForm::TOutagesForm(QWidget* parent, IFileDialogs* dialogs)
    : QDialog(parent), m_dialogs(dialogs), m_model(new OutagesModel(this)), m_proxy(new QSortFilterProxyModel(this)),
      m_timer(new QTimer(this)), m_now([] { return QDateTime::currentDateTime(); }) {
    setObjectName(QStringLiteral("OutagesForm"));
    setWindowTitle(QStringLiteral("Outages"));
    setWindowIcon(icons::program());
    setFont(fonts::windowFont());
    setModal(false);
    setSizeGripEnabled(true);
    resize(760, 480);
    askPeriod = [this](const QString& title) { return askDialogPeriod(title); };

    auto* totalsBox = new QGroupBox(QStringLiteral("Totals"), this);
    totals = new TTotalsGrid(totalsBox);
    totals->setObjectName(QStringLiteral("totals"));
    auto* totalsLayout = new QVBoxLayout(totalsBox);
    totalsLayout->addWidget(totals);

    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(OutagesModel::SortRole);
    tvRows = new QTableView(this);
    tvRows->setObjectName(QStringLiteral("tvRows"));
    tvRows->setModel(m_proxy);
    tvRows->setSortingEnabled(true);
    tvRows->sortByColumn(OutagesModel::Start, Qt::DescendingOrder);
    tvRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvRows->setAlternatingRowColors(true);
    tvRows->verticalHeader()->hide();
    tvRows->verticalHeader()->setDefaultSectionSize(18);
    tvRows->horizontalHeader()->setStretchLastSection(true);

    btnExportReport = button(this, "btnExportReport", QStringLiteral("Export report ..."));
    btnExportTable = button(this, "btnExportTable", QStringLiteral("Export table ..."));
    btnClose = button(this, "btnClose", QStringLiteral("Close"));
    connect(btnExportReport, &QPushButton::clicked, this, &TOutagesForm::btnExportReportClick);
    connect(btnExportTable, &QPushButton::clicked, this, &TOutagesForm::btnExportTableClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnExportReport);
    buttons->addWidget(btnExportTable);
    buttons->addStretch();
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(totalsBox);
    layout->addWidget(tvRows, 1);
    layout->addLayout(buttons);

    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &TOutagesForm::refresh);
    refresh();
}

void TOutagesForm::setLedger(const QString& path, const QString& host) {
    m_ledgerPath = path;
    m_host = host;
    const QList<LedgerRow> rows = LedgerFile::read(path);
    if (!m_watchedSinceSet)
        m_watchedSince = report::watchedSince(path, rows);
    m_model->setRows(rows);
    tvRows->resizeColumnsToContents();
    refresh();
}

void TOutagesForm::addRow(const LedgerRow& row) {
    m_model->addRow(row);
    refresh();
}

void TOutagesForm::setInProgress(const std::optional<LedgerRow>& row) {
    m_model->setInProgress(row);
    refresh();
}

void TOutagesForm::setWatchedSince(const QDateTime& since) {
    m_watchedSince = since;
    m_watchedSinceSet = true;
    refresh();
}

void TOutagesForm::setClock(std::function<QDateTime()> now) {
    m_now = std::move(now);
    refresh();
}

void TOutagesForm::refresh() {
    const QDateTime now = m_now();
    m_model->setNow(now);
    totals->showTotals(m_model->rowsUntilNow(), now, m_watchedSince);
}

void TOutagesForm::showEvent(QShowEvent* event) {
    refresh();
    m_timer->start();
    QDialog::showEvent(event);
}

void TOutagesForm::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QDialog::hideEvent(event);
}
