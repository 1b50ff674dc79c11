// The outage ledger's part of the probe cycle: the tracker hears of every
// tick, echo and outcome, and while echoes are being lost the local side is
// looked at, at most once per interval: the route and its link, and the
// gateway with an echo of its own.

#include "MonitorEngine.h"

#include "TTimer.h"
#include "icmp/AsyncEcho.h"
#include "icmp/TICMP.h"
#include "ledger/LedgerFile.h"
#include "ledger/RouteProbe.h"
#include "ping/TPing.h"
#include "text/Inet.h"

#include <algorithm>

void MonitorEngine::trackerSettings() {
    Outages.setSettings({OutageEchoes, Timer->Interval(), Ping->Timeout()});
}

void MonitorEngine::trackTick() {
    if (m_services.stopwatch && Timer->Enabled())
        Outages.tick(m_services.stopwatch->now());
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
    if (m_services.stopwatch)
        Outages.stop(m_services.stopwatch->now(), note);
}

void MonitorEngine::diagnose() {
    if (!m_services.routes)
        return;
    const std::int64_t now = m_services.stopwatch->now().monotonicMs;
    if (m_diagnosed && now - m_lastDiagnosisMs < Timer->Interval())
        return;
    m_diagnosed = true;
    m_lastDiagnosisMs = now;

    const std::uint32_t target = inet::parse(Ping->ResolvedIP());
    const RouteInfo route = m_services.routes->lookup(target);
    const QString gateway = route.gateway ? inet::format(route.gateway) : QString();
    // An ICMP error from a router on the way names who refused the echo.
    TIcmpEchoReply reply;
    Ping->LastReply(reply);
    if (Ping->LastStatus() != 11010 && reply.Address != 0 && reply.Address != target) {
        Outages.causeSeen(cause::Refused, gateway, route.interface,
                          QStringLiteral("refused by %1: %2").arg(inet::format(reply.Address), Ping->StatusText()));
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
    emit logFailed(message);
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

// An outage still in progress when the program was killed is on disk: the
// next start completes it, its end unknown.
void MonitorEngine::completeLeftOver() {
    if (!m_services.stopwatch)
        return;
    std::optional<LedgerRow> left = ledger().takeOpen();
    if (!left)
        return;
    left->end = QDateTime();
    left->durationMs = 0;
    const QString note = QStringLiteral("end unknown: Linkvigil was stopped");
    left->note = left->note.isEmpty() ? note : left->note + QStringLiteral("; ") + note;
    keepRow(*left);
}
