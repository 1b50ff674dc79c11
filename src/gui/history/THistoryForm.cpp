#include "history/THistoryForm.h"

#include "Fonts.h"
#include "history/HistoryFetcher.h"
#include "history/HistoryReader.h"
#include "history/HistoryReadout.h"
#include "history/HopSeries.h"
#include "history/THistoryChart.h"
#include "icmp/AddressText.h"
#include "ledger/LedgerQuery.h"
#include "report/Format.h"
#include "resources/Icons.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kTickMs = 1000;
constexpr int kHostTicks = 60; // the hosts are read again once a minute
constexpr qint64 kHour = 3'600'000;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kUnknownFirst = 30 * kDay; // assumed until the history tells
constexpr int kCachedScreens = 8;
// The program's echoes reach the file a second or two after they were sent
// (the shelf hands them on once a second, then the writer commits): the
// buckets of the last seconds are read again at the next tick.
constexpr qint64 kSettleMs = 3000;

QPushButton* button(QWidget* parent, const QString& name, const QString& caption) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(name);
    result->setAutoDefault(false);
    return result;
}

} // namespace

const QList<qint64>& THistoryForm::presetSpans() {
    static const QList<qint64> spans{kHour, 6 * kHour, kDay, 7 * kDay, 30 * kDay, 0};
    return spans;
}

THistoryForm::THistoryForm(QWidget* parent, IHistorySource* source, IFileDialogs* dialogs)
    : QDialog(parent), m_dialogs(dialogs), m_timer(new QTimer(this)),
      m_now([] { return QDateTime::currentDateTime(); }) {
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(QStringLiteral("History"));
    setWindowIcon(icons::program());
    setFont(fonts::windowFont());
    setModal(false);
    setSizeGripEnabled(true);
    resize(900, 460);

    cbHost = new QComboBox(this);
    cbHost->setObjectName(QStringLiteral("cbHost"));
    cbHost->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(cbHost, &QComboBox::activated, this, [this](int index) { showHost(cbHost->itemData(index).toString()); });
    auto* top = new QHBoxLayout;
    auto* hostLabel = new QLabel(QStringLiteral("&Host:"), this);
    hostLabel->setObjectName(QStringLiteral("lbHost"));
    hostLabel->setBuddy(cbHost);
    top->addWidget(hostLabel);
    top->addWidget(cbHost);
    top->addStretch();
    const QStringList captions{QStringLiteral("1 h"), QStringLiteral("6 h"),  QStringLiteral("24 h"),
                               QStringLiteral("7 d"), QStringLiteral("30 d"), QStringLiteral("All")};
    for (qsizetype i = 0; i < captions.size(); ++i) {
        QString name = captions[i];
        QPushButton* preset = button(this, QStringLiteral("btnPreset") + name.remove(u' '), captions[i]);
        preset->setFixedWidth(44);
        const qint64 span = presetSpans()[i];
        connect(preset, &QPushButton::clicked, this, [this, span] {
            if (span == 0)
                chart->showAll();
            else
                chart->showSpan(span);
        });
        presets.append(preset);
        top->addWidget(preset);
    }
    top->addSpacing(8);
    btnLive = button(this, QStringLiteral("btnLive"), QStringLiteral("&Live"));
    btnLive->setCheckable(true);
    btnLive->setToolTip(QStringLiteral("Keep the newest echoes in view"));
    top->addWidget(btnLive);

    lbRange = new QLabel(this);
    lbRange->setObjectName(QStringLiteral("lbRange"));
    chart = new THistoryChart(this);
    chart->setObjectName(QStringLiteral("chart"));
    chart->setBuckets(&m_cache.run());
    chart->setToolTip(QStringLiteral("Wheel: zoom · drag or arrow keys: pan · + / −: zoom · End: Live"));
    lbReadout = new QLabel(this);
    lbReadout->setObjectName(QStringLiteral("lbReadout"));
    lbReadout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbReadout->setMinimumWidth(1);
    lbReadout->setFixedHeight(lbReadout->fontMetrics().height() + 4);

    btnExportImage = button(this, QStringLiteral("btnExportImage"), QStringLiteral("Export image ..."));
    btnExportEchoes = button(this, QStringLiteral("btnExportEchoes"), QStringLiteral("Export echoes ..."));
    btnClose = button(this, QStringLiteral("btnClose"), QStringLiteral("Close"));
    connect(btnExportImage, &QPushButton::clicked, this, &THistoryForm::btnExportImageClick);
    connect(btnExportEchoes, &QPushButton::clicked, this, &THistoryForm::btnExportEchoesClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnExportImage);
    buttons->addWidget(btnExportEchoes);
    buttons->addStretch();
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lbRange);
    layout->addWidget(chart, 1);
    layout->addWidget(lbReadout);
    layout->addLayout(buttons);

    connect(btnLive, &QPushButton::toggled, chart, &THistoryChart::setLive);
    connect(chart, &THistoryChart::liveChanged, btnLive, &QPushButton::setChecked);
    connect(chart, &THistoryChart::viewChanged, this, &THistoryForm::viewChanged);
    connect(chart, &THistoryChart::readoutChanged, this, [this](const QString& text) {
        const auto& shown = chart->plot().shownColumns();
        lbReadout->setText(text.isEmpty() ? historyreadout::totals(shown.echoes(), shown.lost()) : text);
    });
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &THistoryForm::refresh);

    btnLive->setChecked(chart->view().live());
    chart->setFocus(); // the keys move the view from the start
    setSource(source);
    refresh();
}

THistoryForm::~THistoryForm() = default;

void THistoryForm::setSource(IHistorySource* source) {
    m_fetcher.reset();
    m_cache.clear();
    m_asked.reset();
    m_hosts.clear();
    m_hostsKnown = false;
    chart->dataChanged();
    if (!source)
        return;
    m_fetcher = std::make_unique<HistoryFetcher>(*source);
    connect(m_fetcher.get(), &HistoryFetcher::fetched, this, &THistoryForm::bucketsFetched);
    connect(m_fetcher.get(), &HistoryFetcher::hostsFetched, this, &THistoryForm::hostsFetched);
    m_fetcher->fetchHosts();
    requestBuckets();
}

void THistoryForm::setClock(std::function<QDateTime()> now) {
    m_now = std::move(now);
    refresh();
}

qint64 THistoryForm::nowMs() const {
    return m_now().toMSecsSinceEpoch();
}

void THistoryForm::open(const QString& historyPath, const QString& ledgerPath, const QString& host) {
    if (historyPath != m_historyPath || !m_reader) {
        // The fetcher goes, with its call under way, before its source.
        setSource(nullptr);
        m_reader = std::make_unique<HistoryReader>(historyPath);
        m_historyPath = historyPath;
        setSource(m_reader.get());
    }
    if (ledgerPath != m_ledgerPath) {
        m_ledgerPath = ledgerPath;
        m_host.clear(); // the outages are read anew below
    }
    setWatchedHost(host);
}

void THistoryForm::setWatchedHost(const QString& host) {
    m_watchedHost = host;
    fillHosts();
    showHost(host);
}

void THistoryForm::showHost(const QString& host) {
    if (host == m_host)
        return;
    m_host = host;
    m_cache.clear();
    m_asked.reset();
    // The ledger's rows of this host, the last ones as the Outages window keeps them.
    if (!m_ledgerPath.isEmpty())
        m_rows = ledger::readHost(m_ledgerPath, {host, {}, {}, 20'000}).rows;
    cbHost->setCurrentIndex(cbHost->findData(host));
    showSpans();
    refresh();
}

bool THistoryForm::fetchesDone() const {
    return !m_fetcher || (m_fetcher->idle() && !m_asked);
}

void THistoryForm::setOutages(const QList<LedgerRow>& rows) {
    m_rows = rows;
    showSpans();
}

void THistoryForm::addOutage(const LedgerRow& row) {
    if (m_inProgress && m_inProgress->kind == row.kind && m_inProgress->start == row.start)
        m_inProgress.reset();
    m_rows.append(row);
    if (row.host == m_host)
        showSpans();
}

void THistoryForm::setOutageInProgress(const std::optional<LedgerRow>& row) {
    m_inProgress = row;
    showSpans();
}

void THistoryForm::showSpans() {
    QList<HistoryPlot::Span> spans = HistoryPlot::spansOf(m_rows, m_host);
    if (m_inProgress && m_inProgress->host == m_host && m_inProgress->start.isValid())
        spans.append({m_inProgress->start.toMSecsSinceEpoch(),
                      std::max(m_inProgress->start.toMSecsSinceEpoch(), nowMs()), m_inProgress->kind,
                      m_inProgress->cause});
    chart->setSpans(spans);
}

void THistoryForm::setMarks(const QList<qint64>& marksMs) {
    chart->setMarks(marksMs);
}

void THistoryForm::embed() {
    setWindowFlags(Qt::Widget);
    setSizeGripEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(cbHost), static_cast<QWidget*>(btnClose)})
        w->hide();
    if (QWidget* label = findChild<QLabel*>(QStringLiteral("lbHost")))
        label->hide();
    layout()->setContentsMargins(0, 0, 0, 0);
}

void THistoryForm::hostsFetched(const QList<HistoryHost>& hosts) {
    m_hosts = hosts;
    m_hostsKnown = true;
    fillHosts();
    refresh();
}

void THistoryForm::fillHosts() {
    QList<HistoryHost> all = m_hosts;
    for (const QString& host : {m_watchedHost, m_host})
        if (!host.isEmpty() && std::none_of(all.cbegin(), all.cend(), [&](const auto& h) { return h.host == host; }))
            all.prepend({host, QString(), 0, 0});
    const QSignalBlocker quiet(cbHost);
    cbHost->clear();
    for (const HistoryHost& h : all)
        if (!history::isHopSeries(h.host) || h.host == m_host)
            cbHost->addItem(inet::hostLabel(h.host, h.address), h.host);
    cbHost->setCurrentIndex(cbHost->findData(m_host));
}

void THistoryForm::refresh() {
    const qint64 now = nowMs();
    // Until the history tells, it is taken to reach a month back; a host
    // it does not hold has nothing before now.
    qint64 first = m_hostsKnown ? now : now - kUnknownFirst;
    for (const HistoryHost& h : m_hosts)
        if (h.host == m_host)
            first = h.firstMs;
    if (m_inProgress && m_inProgress->host == m_host)
        showSpans();
    chart->setExtent(first, now);
    if (m_fetcher && isVisible() && ++m_ticks % kHostTicks == 0)
        m_fetcher->fetchHosts();
    requestBuckets();
}

void THistoryForm::viewChanged() {
    const HistoryViewport& view = chart->view();
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(view.fromMs(), Qt::LocalTime);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(view.toMs(), Qt::LocalTime);
    lbRange->setText(QStringLiteral("%1 to %2 (%3)%4")
                         .arg(report::stampText(from), report::stampText(to), report::durationText(view.spanMs()),
                              view.live() ? QStringLiteral(", live") : QString()));
    requestBuckets();
}

// The buckets of the view with half a screen to spare on either side are
// there, or those of a screen on either side are asked for: panning draws
// from the cache while they come. Time is the view's, which moves once a
// tick, so the newest buckets are read once a tick however long reading
// takes, never again and again as the clock moves on during each read.
void THistoryForm::requestBuckets() {
    if (!m_fetcher || m_host.isEmpty())
        return;
    const HistoryViewport& view = chart->view();
    const qint64 width = chart->bucketWidthMs();
    const qint64 now = view.nowMs();
    const qint64 settled = now - kSettleMs;
    const qint64 span = view.spanMs();
    const auto clipped = [&](qint64 from, qint64 to) {
        return std::pair{std::max(from, BucketCache::floorToGrid(view.firstMs(), width)),
                         std::min(to, BucketCache::ceilToGrid(now + 1, width))};
    };
    const auto [nearFrom, nearTo] = clipped(view.fromMs() - span / 2, view.toMs() + span / 2);
    if (const auto lacking = m_cache.missing(m_host, width, nearFrom, nearTo, settled); lacking.first >= lacking.second)
        return;
    const auto [from, to] = clipped(view.fromMs() - span, view.toMs() + span);
    const BucketCache::Span missing = m_cache.missing(m_host, width, from, to, settled);
    if (missing.first >= missing.second)
        return;
    BucketRequest request{m_host, missing.first, missing.second, width, settled};
    if (m_asked && m_asked->host == request.host && m_asked->fromMs == request.fromMs &&
        m_asked->toMs == request.toMs && m_asked->widthMs == request.widthMs)
        return; // on its way
    m_asked = request;
    m_fetcher->fetch(request);
}

void THistoryForm::bucketsFetched(const BucketRun& run) {
    if (m_asked && m_asked->host == run.host && m_asked->fromMs == run.fromMs && m_asked->widthMs == run.widthMs &&
        m_asked->asOfMs == run.asOfMs)
        m_asked.reset();
    if (run.host != m_host)
        return;
    const qint64 width = chart->bucketWidthMs();
    // A run of an older zoom does not replace the cached one of this zoom.
    if (run.widthMs == width || m_cache.empty() || m_cache.run().widthMs != width) {
        const HistoryViewport& view = chart->view();
        m_cache.merge(run, qsizetype(kCachedScreens) * chart->plot().columns(), view.fromMs() + view.spanMs() / 2);
        chart->dataChanged();
    }
    requestBuckets();
}

void THistoryForm::showEvent(QShowEvent* event) {
    if (m_fetcher)
        m_fetcher->fetchHosts();
    refresh();
    m_timer->start();
    QDialog::showEvent(event);
}

void THistoryForm::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QDialog::hideEvent(event);
}
