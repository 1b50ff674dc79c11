#include "outages/TOutagesForm.h"

#include "Fonts.h"
#include "icmp/AddressText.h"
#include "ledger/LedgerFile.h"
#include "outages/OutagesModel.h"
#include "outages/TTotalsGrid.h"
#include "report/Period.h"
#include "resources/Icons.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
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

    cbHost = new QComboBox(this);
    cbHost->setObjectName(QStringLiteral("cbHost"));
    cbHost->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(cbHost, &QComboBox::activated, this, [this](int index) { showHost(cbHost->itemData(index).toString()); });
    auto* hostLine = new QHBoxLayout;
    auto* hostLabel = new QLabel(QStringLiteral("&Host:"), this);
    hostLabel->setBuddy(cbHost);
    hostLine->addWidget(hostLabel);
    hostLine->addWidget(cbHost);
    hostLine->addStretch();

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
    // Columns as wide as their text; measured on the rows in view, not on
    // every row of a long ledger.
    tvRows->horizontalHeader()->setResizeContentsPrecision(500);
    lbNote = new QLabel(this);
    lbNote->setObjectName(QStringLiteral("lbNote"));
    lbNote->setWordWrap(true);
    lbNote->hide();

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
    layout->addLayout(hostLine);
    layout->addWidget(totalsBox);
    layout->addWidget(tvRows, 1);
    layout->addWidget(lbNote);
    layout->addLayout(buttons);

    // Rows that arrive widen their columns as they need.
    connect(m_proxy, &QAbstractItemModel::rowsInserted, tvRows, &QTableView::resizeColumnsToContents);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &TOutagesForm::refresh);
    refresh();
}

void TOutagesForm::setLedger(const QString& path, const QString& host) {
    m_ledgerPath = path;
    m_watchedHost = host;
    m_host = host;
    reload();
}

void TOutagesForm::showHost(const QString& host) {
    if (host == m_host)
        return;
    m_host = host;
    reload();
}

// One pass over the ledger: the hosts it holds, the shown host's rows.
void TOutagesForm::reload() {
    const ledger::HostRows read = ledger::readHost(m_ledgerPath, {m_host, {}, {}, MaxRows});
    m_firstStart = read.firstStart;
    m_hostAddress.clear();
    for (const ledger::KnownHost& known : read.hosts)
        if (known.host == m_host)
            m_hostAddress = known.address;
    fillHosts(read.hosts);
    m_model->setRows(read.rows);
    m_model->setInProgress(m_inProgress && shows(*m_inProgress) ? m_inProgress : std::nullopt);
    QStringList notes;
    if (read.cut)
        notes << QStringLiteral("Only the newest %L1 rows are shown; the reports and the exported table hold all.")
                     .arg(MaxRows);
    if (const QString note = read.stats.note(m_ledgerPath); !note.isEmpty())
        notes << note + u'.';
    lbNote->setText(notes.join(u' '));
    lbNote->setVisible(!notes.isEmpty());
    btnExportReport->setEnabled(!m_host.isEmpty());
    refresh();
    tvRows->resizeColumnsToContents();
}

void TOutagesForm::fillHosts(const QList<ledger::KnownHost>& hosts) {
    QList<ledger::KnownHost> all = hosts;
    for (const QString& host : {m_watchedHost, m_host})
        if (!host.isEmpty() && std::none_of(all.cbegin(), all.cend(), [&](const auto& k) { return k.host == host; }))
            all.append({host, QString()});
    const QSignalBlocker quiet(cbHost);
    cbHost->clear();
    for (const ledger::KnownHost& known : all)
        cbHost->addItem(inet::hostLabel(known.host, known.address), known.host);
    cbHost->addItem(QStringLiteral("All hosts"), QString());
    cbHost->setCurrentIndex(cbHost->findData(m_host));
}

void TOutagesForm::addRow(const LedgerRow& row) {
    if (m_inProgress && m_inProgress->kind == row.kind && m_inProgress->start == row.start)
        m_inProgress.reset();
    if (!shows(row))
        return;
    if (!m_firstStart.isValid() || row.start < m_firstStart)
        m_firstStart = row.start;
    m_model->addRow(row);
    refresh();
}

void TOutagesForm::setInProgress(const std::optional<LedgerRow>& row) {
    m_inProgress = row;
    m_model->setInProgress(row && shows(*row) ? row : std::nullopt);
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
    if (m_host.isEmpty()) {
        // Sums over several hosts would mean nothing.
        m_model->setNotWatched(std::nullopt);
        totals->showTotals({}, QDateTime(), QDateTime());
        return;
    }
    const ledger::Watch watch = m_ledgerPath.isEmpty() ? ledger::Watch() : ledger::watchOf(m_ledgerPath, m_host, now);
    std::optional<LedgerRow> notWatched = watch.notWatched;
    if (notWatched)
        notWatched->address = m_hostAddress;
    m_model->setNotWatched(notWatched);
    QDateTime since = m_watchedSince;
    if (!m_watchedSinceSet) {
        since = watch.since;
        if (m_firstStart.isValid() && (!since.isValid() || m_firstStart < since))
            since = m_firstStart;
        if (!since.isValid())
            since = now; // never watched here, as far as the ledger tells
    }
    totals->showTotals(m_model->rowsUntilNow(), now, since);
}

QString TOutagesForm::geometryText() const {
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

void TOutagesForm::setGeometryText(const QString& text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return;
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return;
    }
    const QRect wanted(values[0], values[1], values[2], values[3]);
    if (wanted.width() < minimumSizeHint().width() / 2 || wanted.height() < minimumSizeHint().height() / 2)
        return;
    // A place on a screen that is no longer there is not taken.
    const QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (!screen)
        return;
    setGeometry(wanted.intersected(screen->availableGeometry()).isEmpty() ? QRect(QPoint(), wanted.size()) : wanted);
    m_placed = true;
}

void TOutagesForm::showEvent(QShowEvent* event) {
    m_placed = true;
    refresh();
    m_timer->start();
    QDialog::showEvent(event);
}

void TOutagesForm::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QDialog::hideEvent(event);
}
