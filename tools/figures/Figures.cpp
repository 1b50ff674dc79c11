#include "Figures.h"

#include "MonitorFixture.h"
#include "SyntheticHistory.h"
#include "TraceProbes.h"
#include "history/HopSeries.h"
#include "history/THistoryForm.h"
#include "icmp/AddressText.h"
#include "ledger/LedgerFile.h"
#include "ping/ReverseLookup.h"
#include "route/RouteModel.h"
#include "route/TRouteForm.h"
#include "trace/PathSnapshot.h"
#include "tray/TrayIcon.h"
#include "tray/TrayStatus.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableView>

#include <functional>
#include <memory>

namespace figures {

namespace {

constexpr int kMargin = 14; // logical pixels around a window, for the numbers
constexpr int kTitle = 22;  // the title bar drawn above a window
const qint64 kNow = QDateTime(QDate(2026, 12, 9), QTime(21, 30)).toMSecsSinceEpoch();

// The events until `done`, or two seconds.
void settle(const std::function<bool()>& done = [] { return false; }) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

// The window's picture with a margin, a title bar when `title`, and each
// numbered control's number beside its left edge.
QImage framed(QWidget* window, const std::vector<std::pair<QWidget*, int>>& numbers, bool title) {
    window->show();
    settle();
    const QImage inner = window->grab().toImage();
    const qreal ratio = inner.devicePixelRatio();
    const int top = kMargin + (title ? kTitle : 0);
    const QSize logical(window->width() + 2 * kMargin, window->height() + top + kMargin);
    QImage image(logical * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (title) {
        p.fillRect(QRect(kMargin, kMargin, window->width(), kTitle), QColor(0x3b, 0x4a, 0x5e));
        QFont font = window->font();
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(kMargin + 8, kMargin, window->width() - 16, kTitle), Qt::AlignVCenter | Qt::AlignLeft,
                   window->windowTitle());
    }
    p.drawImage(QPoint(kMargin, top), inner);
    p.setPen(QColor(0x9a, 0xa5, 0xb1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(kMargin - 0.5, kMargin - 0.5, window->width() + 1, window->height() + top - kMargin + 1));
    QFont number = window->font();
    number.setPixelSize(10);
    number.setBold(true);
    p.setFont(number);
    for (const auto& [widget, n] : numbers) {
        QPointF at;
        if (widget == window)
            at = QPointF(kMargin + window->width() / 2.0, kMargin + kTitle / 2.0); // the title
        else {
            const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
            at = QPointF(kMargin + r.left() - 8, top + r.top() + std::min(r.height(), 24) / 2.0);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xc0, 0x1f, 0x2f));
        p.drawEllipse(at, 7.5, 7.5);
        p.setPen(Qt::white);
        p.drawText(QRectF(at.x() - 8, at.y() - 8, 16, 16), Qt::AlignCenter, QString::number(n));
    }
    p.end();
    window->hide();
    return image;
}

// The program's windows on the fakes, after a day on a flaky link.
struct Program {
    MonitorFixture f;
    Program() {
        f.create();
        f.startWatching(QStringLiteral("192.0.2.10"));
        const std::uint32_t host = inet::parse(QStringLiteral("192.0.2.10"));
        for (int i = 0; i < 120; ++i) {
            if (!((i >= 60 && i < 80) || i % 17 == 0))
                f.echo->answers.push_back(FakeEcho::answered(host, 40 + (i * 37) % 300, 56));
            f.main->Engine->TimerTimer();
        }
    }
    static std::unique_ptr<Program>& instance() {
        static std::unique_ptr<Program> program;
        return program;
    }
    static Program& get() {
        if (!instance())
            instance() = std::make_unique<Program>();
        return *instance();
    }
};

template <typename T> QWidget* named(QWidget* window, const char* name) {
    return window->findChild<T*>(QLatin1String(name));
}

QImage mainWindow() {
    TMainForm* m = Program::get().f.main.get();
    const auto w = [m](const char* name) { return named<QWidget>(m, name); };
    return framed(m,
                  {{w("cbConnectTo"), 1},
                   {w("IPlabel"), 2},
                   {w("edInterval"), 3},
                   {w("edTimeout"), 4},
                   {w("ggReliab"), 5},
                   {w("StartButton"), 6},
                   {w("LoggingButton"), 7},
                   {w("btnViewLog"), 8},
                   {w("SaveButton"), 9},
                   {w("lbHelp"), 10},
                   {w("InfoLabel"), 11},
                   {w("Panel1"), 12},
                   {w("lbLegendMid"), 13},
                   {w("StatusBar"), 14},
                   {m, 15}},
                  true);
}

QImage settings() {
    Program& program = Program::get();
    TLogForm* d = program.f.logForm.get();
    // Shown, the dialog takes the engine's logging switch.
    program.f.main->Engine->LoggingEnabled = true;
    const auto w = [d](const char* name) { return named<QWidget>(d, name); };
    return framed(d,
                  {{w("chSoundFail"), 1},
                   {w("edSoundFail"), 2},
                   {w("btnTestSound1"), 3},
                   {w("chbRepeatWarn"), 4},
                   {w("seRepeatInterval"), 5},
                   {w("chSoundBack"), 6},
                   {w("chUseLogging"), 7},
                   {w("edLogFile"), 8},
                   {w("chLogChanges"), 9},
                   {w("chLogAverages"), 10},
                   {w("chLimitKb"), 11},
                   {w("btOK"), 12},
                   {w("chMinimiseToTray"), 13},
                   {w("chNotifications"), 14},
                   {w("chPreferIPv6"), 15},
                   {w("chTracePath"), 16}},
                  true);
}

QImage warning() {
    TfrmWarn* warn = Program::get().f.warn.get();
    warn->ShowWarning(QStringLiteral("09/12/2026 21:14: Connection 192.0.2.10 falls below 30%"));
    return framed(warn, {}, true);
}

LedgerRow outage(int day, int hour, int minutes, int lost, const QString& cause, const QString& lastHop = {},
                 int hopNumber = 0) {
    LedgerRow row;
    row.start = QDateTime(QDate(2026, 12, day), QTime(hour, 7));
    row.end = row.start.addSecs(60 * minutes);
    row.durationMs = 60'000LL * minutes;
    row.host = QStringLiteral("192.0.2.10");
    row.address = row.host;
    row.echoesLost = lost;
    row.firstStatus = QStringLiteral("Request timed out");
    row.cause = cause;
    row.causesSeen = {cause};
    row.gateway = QStringLiteral("198.51.100.254");
    row.interface = QStringLiteral("eth0");
    row.lastHop = lastHop;
    row.lastHopNumber = hopNumber;
    return row;
}

QImage outages() {
    Program& program = Program::get();
    TOutagesForm* o = program.f.outages.get();
    // The week's rows in a ledger of their own, read as the window reads one.
    const QString path = program.f.folder.filePath(QStringLiteral("Outages.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QString text = LedgerFile::header() + QStringLiteral("\r\n");
    for (const LedgerRow& row : {outage(3, 8, 4, 240, cause::LocalNetwork),
                                 outage(5, 19, 12, 720, cause::BeyondGateway, QStringLiteral("203.0.113.1"), 2),
                                 outage(7, 21, 2, 120, cause::Offline), outage(9, 21, 6, 360, cause::BeyondGateway)})
        text += LedgerFile::formatLine(row) + QStringLiteral("\r\n");
    file.write(text.toUtf8());
    file.close();
    o->setClock([] { return QDateTime::fromMSecsSinceEpoch(kNow); });
    o->setWatchedSince(QDateTime::fromMSecsSinceEpoch(kNow - 7LL * 86'400'000));
    o->setLedger(path, QStringLiteral("192.0.2.10"));
    o->resize(1000, 460);
    return framed(o, {}, true);
}

// A month of the host and a day of its path's hop 3, which lost a twelfth of
// its probes; two hours ago the path moved to other routers at hops 2 and 3.
struct History : SyntheticHistory {
    using SyntheticHistory::SyntheticHistory;
    QList<RouteChange> routeChanges(const QString& host, qint64, qint64) override {
        if (host != QStringLiteral("192.0.2.10"))
            return {};
        return {{2, *IpAddress::parse("203.0.113.1"), *IpAddress::parse("203.0.113.9"), kNow - 7'200'000},
                {3, *IpAddress::parse("198.18.7.1"), *IpAddress::parse("198.18.9.1"), kNow - 7'200'000}};
    }
};

SyntheticHistory& synthetic() {
    static History h([] {
        SyntheticHistory::Host host = SyntheticHistory::host(QStringLiteral("192.0.2.10"), QStringLiteral("192.0.2.10"),
                                                             kNow - 30LL * 86'400'000, kNow);
        SyntheticHistory::Host hop = SyntheticHistory::host(history::hopSeries(QStringLiteral("192.0.2.10"), 3),
                                                            QStringLiteral("192.0.2.10"), kNow - 86'400'000, kNow);
        hop.lost = 1.0 / 12;
        return QList<SyntheticHistory::Host>{host, hop};
    }());
    return h;
}

QImage historyWindow() {
    THistoryForm form(nullptr, &synthetic(), nullptr);
    form.setClock([] { return QDateTime::fromMSecsSinceEpoch(kNow); });
    form.setWatchedHost(QStringLiteral("192.0.2.10"));
    form.resize(900, 460);
    form.show();
    form.presets[2]->click(); // 24 h
    settle([&form] { return form.fetchesDone(); });
    return framed(&form, {}, true);
}

// Names that come at once.
struct Names : IReverseLookup {
    Done done;
    void setDone(Done d) override { done = std::move(d); }
    void lookUp(const IpAddress& address) override {
        static const std::map<std::string, QString> names{{"198.51.100.254", QStringLiteral("router.home.lan")},
                                                          {"203.0.113.1", QStringLiteral("bras-1.isp.example")},
                                                          {"203.0.113.9", QStringLiteral("bras-2.isp.example")},
                                                          {"192.0.2.10", QStringLiteral("far.example")}};
        const auto it = names.find(address.text());
        if (done)
            done(address, it == names.end() ? QString() : it->second);
    }
};

using tracetest::probe;

QImage routeWindow() {
    Names names;
    TRouteForm form(nullptr, names, nullptr);
    form.setSource(&synthetic());
    form.open(QString(), QStringLiteral("192.0.2.10"), true);
    std::vector<HopRecord> hops(4);
    for (int round = 0; round < 300; ++round) {
        const bool moved = round >= 200;
        const bool lost = round % 12 == 0;
        hops[0].take(probe(1, "198.51.100.254", 400 + round % 7 * 30));
        hops[1].take(probe(2, moved ? "203.0.113.9" : "203.0.113.1", 6'000 + round % 11 * 200));
        hops[2].take(probe(3, lost ? nullptr : moved ? "198.18.9.1" : "198.18.7.1", 11'000 + round % 13 * 300));
        hops[3].take(probe(4, lost ? nullptr : "192.0.2.10", 12'000 + round % 5 * 400));
    }
    form.showPath(PathSnapshot::of(*IpAddress::parse("192.0.2.10"), 300, 4, hops, 4));
    form.tvHops->setCurrentIndex(form.model()->index(3, 0)); // hop 3: rows 1, 2, 2, 3
    form.hopHistory->setClock([] { return QDateTime::fromMSecsSinceEpoch(kNow); });
    form.resize(900, 640);
    form.show();
    form.hopHistory->presets[1]->click(); // 6 h
    settle([&form] { return form.hopHistory->fetchesDone(); });
    return framed(&form, {}, true);
}

QImage trayMenu() {
    Program& program = Program::get();
    TrayStatus status(*program.f.main->Engine);
    TrayIcon tray(status);
    QMenu* menu = tray.menu();
    menu->adjustSize();
    return framed(menu, {}, false);
}

} // namespace

void end() {
    Program::instance().reset();
}

const std::vector<Figure>& all() {
    static const std::vector<Figure> figures{
        {"main-window", mainWindow},       {"settings", settings},        {"warning", warning},    {"outages", outages},
        {"history-window", historyWindow}, {"route-window", routeWindow}, {"tray-menu", trayMenu},
    };
    return figures;
}

} // namespace figures
