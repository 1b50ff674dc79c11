// The outage ledger's part of the probe cycle: the tracker hears of every
// tick, echo and outcome, and while echoes are being lost the local side is
// looked at, at most once per interval: the route and its link, and the
// gateway with an echo of its own.

#include "MonitorEngine.h"

#include "TTimer.h"
#include "icmp/AsyncEcho.h"
#include "icmp/TICMP.h"
#include "ledger/HostLedger.h"
#include "ledger/LedgerFile.h"
#include "ledger/RouteProbe.h"
#include "ping/TPing.h"
#include "text/Inet.h"

#include <algorithm>

void MonitorEngine::trackerSettings() {
    Outages.setSettings({OutageEchoes, Timer->Interval(), Ping->Timeout()});
}

void MonitorEngine::trackTick() {
    if (m_services.stopwatch && Timer->Enabled()) {
        const Moment now = m_services.stopwatch->now();
        Outages.tick(now);
        if (m_hostLedger && m_ledgerActive)
            m_hostLedger->tick(now);
    }
}

void MonitorEngine::trackSent() {
    if (!m_services.stopwatch)
        return;
    // The first echo to another host ends the watch of the one before: its
    // outage, and its watched time.
    if (m_ledgerActive && m_hostLedger &&
        (m_hostLedger->host() != m_watchedHost || m_hostLedger->path() != LedgerFile::ledgerPath(LogFilePath()))) {
        Outages.stop(m_services.stopwatch->now(), QStringLiteral("ended: host changed"));
        endLedger(HostState::Watching::Switched);
        beginLedger();
    }
    Outages.setHost(m_watchedHost, Ping->ResolvedIP());
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

void MonitorEngine::trackStop(const QString& note, HostState::Watching why) {
    if (m_gatewayProbe)
        m_gatewayProbe->cancel();
    if (m_services.stopwatch) {
        Outages.stop(m_services.stopwatch->now(), note);
        endLedger(why);
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

// The host's part of the ledger, begun at Start: a killed run's outage is
// completed and the time the host was not watched becomes a gap.
void MonitorEngine::beginLedger() {
    const QString path = LedgerFile::ledgerPath(LogFilePath());
    if (!m_hostLedger || m_hostLedger->path() != path || m_hostLedger->host() != m_watchedHost) {
        m_hostLedger = std::make_unique<HostLedger>(path, m_watchedHost);
        m_hostLedger->onFailure = [this](const QString& message) {
            emit statusMessage(message);
            emit ledgerFailed(message);
        };
    }
    m_ledgerActive = true;
    const QList<LedgerRow> rows =
        m_hostLedger->begin(m_services.stopwatch->now(), Ping->ResolvedIP(), {Timer->Interval(), Ping->Timeout()});
    for (const LedgerRow& row : rows)
        emit outageRow(row);
}

void MonitorEngine::endLedger(HostState::Watching why) {
    if (!m_hostLedger || !m_ledgerActive)
        return;
    m_ledgerActive = false;
    m_hostLedger->end(m_services.stopwatch->now(), why);
}

void MonitorEngine::keepRow(const LedgerRow& row) {
    if (m_hostLedger)
        m_hostLedger->keep(row);
    emit outageRow(row);
}

void MonitorEngine::keepOpen(const LedgerRow* open) {
    if (m_hostLedger)
        m_hostLedger->keepOpen(open);
    if (open)
        emit outageInProgress(*open);
    else
        emit outageCleared();
}
