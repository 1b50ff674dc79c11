// The outage ledger's part of the probe cycle: the tracker hears of every
// tick, echo and outcome, and while echoes are being lost the local side is
// looked at, at most once per interval: the route and its link, and the
// gateway with an echo of its own.

#include "MonitorEngine.h"

#include "TTimer.h"
#include "icmp/AsyncEcho.h"
#include "icmp/TICMP.h"
#include "io/SafeWrite.h"
#include "ledger/LedgerFile.h"
#include "ledger/RouteProbe.h"
#include "ping/TPing.h"
#include "text/Inet.h"

#include <QFile>

#include <algorithm>

namespace {

constexpr std::int64_t kMarkEveryMs = 60'000;

} // namespace

void MonitorEngine::trackerSettings() {
    Outages.setSettings({OutageEchoes, Timer->Interval(), Ping->Timeout()});
}

void MonitorEngine::trackTick() {
    if (m_services.stopwatch && Timer->Enabled()) {
        Outages.tick(m_services.stopwatch->now());
        markWatching(false);
    }
}

void MonitorEngine::trackSent() {
    if (!m_services.stopwatch)
        return;
    Outages.setHost(Host, Ping->ResolvedIP());
    Outages.echoSent(m_services.stopwatch->now());
}

bool MonitorEngine::trackDone(bool answered) {
    if (!m_services.stopwatch)
        return true;
    const bool counts =
        Outages.echoDone(answered, answered ? QString() : Ping->StatusText(), m_services.stopwatch->now());
    if (counts && !answered)
        diagnose();
    return counts;
}

void MonitorEngine::trackStop(const QString& note) {
    if (m_gatewayProbe)
        m_gatewayProbe->cancel();
    if (m_services.stopwatch) {
        Outages.stop(m_services.stopwatch->now(), note);
        markWatching(true);
    }
}

void MonitorEngine::diagnose() {
    if (!m_services.routes)
        return;
    const std::int64_t now = m_services.stopwatch->now().monotonicMs;
    if (m_diagnosed && now - m_lastDiagnosisMs < Timer->Interval())
        return;
    m_diagnosed = true;
    m_lastDiagnosisMs = now;

    const IpAddress& target = Ping->ResolvedAddress();
    const RouteInfo route = m_services.routes->lookup(target);
    const QString gateway = inet::format(route.gateway);
    // An ICMP error from a router on the way names who refused the echo.
    const IpAddress from = Ping->LastReplyFrom();
    if (Ping->LastStatus() != 11010 && from.valid() && from != target) {
        Outages.causeSeen(cause::Refused, gateway, route.interface,
                          QStringLiteral("refused by %1: %2").arg(inet::format(from), Ping->StatusText()));
        return;
    }
    const QString local = diagnoseCause(route, std::nullopt);
    if (!local.isEmpty() || !m_services.makeProbeChannel) {
        Outages.causeSeen(local, gateway, route.interface);
        return;
    }
    // Through a gateway: whether it answers tells the local network from
    // what lies beyond it.
    if (!m_gatewayProbe)
        m_gatewayProbe = m_services.makeProbeChannel();
    m_gatewayProbe->cancel();
    m_probeData = TICMP::EchoPayload(56);
    const EchoRequest request{route.gateway, m_probeData, 64, 0, std::min(Ping->Timeout(), Timer->Interval())};
    m_gatewayProbe->start(request, [this, route, gateway](const EchoResult& result) {
        Outages.causeSeen(diagnoseCause(route, result.replies > 0), gateway, route.interface);
    });
}

LedgerFile& MonitorEngine::ledger() {
    const QString path = LedgerFile::ledgerPath(LogFilePath());
    if (!m_ledger || m_ledger->path() != path)
        m_ledger = std::make_unique<LedgerFile>(path);
    return *m_ledger;
}

void MonitorEngine::reportLedger(const QString& message) {
    if (message.isEmpty()) {
        m_ledgerFailing = false;
        return;
    }
    if (m_ledgerFailing)
        return;
    m_ledgerFailing = true;
    emit statusMessage(message);
    emit ledgerFailed(message);
}

void MonitorEngine::keepRow(const LedgerRow& row) {
    LedgerFile& file = ledger();
    const LedgerFile::Outcome outcome = file.append(row);
    reportLedger(outcome ? QString() : LedgerFile::describe(file.path(), outcome));
    emit outageRow(row);
}

void MonitorEngine::keepOpen(const LedgerRow* open) {
    LedgerFile& file = ledger();
    const LedgerFile::Outcome outcome = open ? file.writeOpen(*open) : file.clearOpen();
    if (!outcome)
        reportLedger(LedgerFile::describe(file.openPath(), outcome));
    if (open)
        emit outageInProgress(*open);
    else
        emit outageCleared();
}

// At each start: the ledger is made if need be, and an outage still in
// progress when the program was killed (it is on disk) is completed, its
// end unknown.
void MonitorEngine::completeLeftOver() {
    if (!m_services.stopwatch)
        return;
    // The ledger exists from the first start on: its age is the watched time.
    if (const LedgerFile::Outcome made = ledger().create(); !made)
        reportLedger(LedgerFile::describe(ledger().path(), made));
    if (std::optional<LedgerRow> left = ledger().takeOpen()) {
        left->end = QDateTime();
        left->durationMs = 0;
        const QString note = QStringLiteral("end unknown: Linkvigil was stopped");
        left->note = left->note.isEmpty() ? note : left->note + QStringLiteral("; ") + note;
        keepRow(*left);
    }
    // The time since the program last watched, when it has started again.
    if (!m_startedBefore)
        recordNotRunning();
    m_startedBefore = true;
    markWatching(true);
}

// The mark is the wall-clock time, written at start and stop and at most
// once a minute in between: a program that ends without a word (killed,
// a crash, a power cut) has left it within a minute of its end.
void MonitorEngine::markWatching(bool now) {
    const Moment at = m_services.stopwatch->now();
    if (!now && at.monotonicMs - m_lastMarkMs < kMarkEveryMs)
        return;
    m_lastMarkMs = at.monotonicMs;
    (void)safewrite::ReplaceFile(ledger().path() + QStringLiteral(".watched"),
                                 at.wall.toString(Qt::ISODateWithMs).toUtf8() + "\r\n");
}

void MonitorEngine::recordNotRunning() {
    QFile mark(ledger().path() + QStringLiteral(".watched"));
    if (!mark.open(QIODevice::ReadOnly))
        return;
    const QDateTime last = QDateTime::fromString(QString::fromUtf8(mark.read(64)).trimmed(), Qt::ISODateWithMs);
    const Moment now = m_services.stopwatch->now();
    const qint64 away = last.isValid() ? last.msecsTo(now.wall) : -1;
    // The mark may be up to a minute old: only a longer absence is told, and
    // its start is known to within that minute.
    if (away <= kMarkEveryMs + 3 * std::int64_t{Timer->Interval()} + Ping->Timeout())
        return;
    LedgerRow gap;
    gap.kind = LedgerRow::Kind::Gap;
    gap.start = last;
    gap.end = now.wall;
    gap.durationMs = away;
    gap.host = Host;
    gap.address = Ping->ResolvedIP();
    gap.note = QStringLiteral("Linkvigil was not running");
    keepRow(gap);
}
