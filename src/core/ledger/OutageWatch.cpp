#include "OutageWatch.h"

#include "HostLedger.h"
#include "LedgerFile.h"
#include "RouteProbe.h"
#include "icmp/AddressText.h"
#include "icmp/AsyncEcho.h"
#include "icmp/TICMP.h"

#include <algorithm>
#include <utility>

OutageWatch::OutageWatch(Services services) : m_services(std::move(services)) {
    m_tracker.out = this;
}

OutageWatch::~OutageWatch() = default;

void OutageWatch::onTrackedRow(const LedgerRow& row) {
    if (m_ledger)
        m_ledger->keep(row);
    if (out)
        out->onOutageRow(row);
}

void OutageWatch::onTrackedOpen(const LedgerRow* open) {
    if (m_ledger)
        m_ledger->keepOpen(open);
    if (out && open)
        out->onOutageInProgress(*open);
    else if (out)
        out->onOutageCleared();
}

void OutageWatch::onLedgerFileFailed(const QString& message) {
    if (out)
        out->onLedgerFailed(message);
}

void OutageWatch::SetTiming(int intervalMs, int timeoutMs) {
    m_intervalMs = intervalMs;
    m_timeoutMs = timeoutMs;
    m_tracker.setSettings({OutageEchoes, intervalMs, timeoutMs});
}

void OutageWatch::Begin(const QString& host, const QString& address, const QString& ledgerPath, const Moment& now) {
    if (!m_ledger || m_ledger->path() != ledgerPath || m_ledger->host() != host) {
        m_ledger = std::make_unique<HostLedger>(ledgerPath, host);
        m_ledger->out = this;
    }
    m_active = true;
    for (const LedgerRow& row : m_ledger->begin(now, address, {m_intervalMs, m_timeoutMs}))
        if (out)
            out->onOutageRow(row);
}

void OutageWatch::Tick(const Moment& now) {
    m_tracker.tick(now);
    if (m_ledger && m_active)
        m_ledger->tick(now);
}

void OutageWatch::Sent(const QString& host, const QString& address, const QString& ledgerPath, const Moment& at) {
    if (m_active && m_ledger && (m_ledger->host() != host || m_ledger->path() != ledgerPath)) {
        m_tracker.stop(at, QStringLiteral("ended: host changed"));
        end(HostState::Watching::Switched, at);
        Begin(host, address, ledgerPath, at);
    }
    m_tracker.setHost(host, address);
    m_tracker.echoSent(at);
}

bool OutageWatch::TakeEcho(const EchoSample& echo) {
    const bool answered = echo.answered();
    const bool counts = m_tracker.echoDone(answered, answered ? QString() : TICMP::StatusText(echo.status), echo.done);
    if (counts && !answered)
        diagnose(echo);
    return counts;
}

void OutageWatch::Stop(const QString& note, HostState::Watching why, const Moment& now) {
    if (m_gatewayProbe)
        m_gatewayProbe->cancel();
    m_tracker.stop(now, note);
    end(why, now);
}

void OutageWatch::end(HostState::Watching why, const Moment& now) {
    if (!m_ledger || !m_active)
        return;
    m_active = false;
    m_ledger->end(now, why);
}

void OutageWatch::diagnose(const EchoSample& echo) {
    if (!m_services.routes)
        return;
    const std::int64_t now = echo.done.monotonicMs;
    if (m_diagnosed && now - m_lastDiagnosisMs < m_intervalMs)
        return;
    m_diagnosed = true;
    m_lastDiagnosisMs = now;

    const IpAddress& target = echo.address;
    const RouteInfo route = m_services.routes->lookup(target);
    const QString gateway = inet::format(route.gateway);
    // An ICMP error from a router on the way names who refused the echo.
    if (echo.status != 11010 && echo.from.valid() && echo.from != target) {
        m_tracker.causeSeen(
            cause::Refused, gateway, route.interface,
            QStringLiteral("refused by %1: %2").arg(inet::format(echo.from), TICMP::StatusText(echo.status)));
        return;
    }
    const QString local = diagnoseCause(route, std::nullopt);
    if (!local.isEmpty() || !m_services.makeProbeChannel) {
        m_tracker.causeSeen(local, gateway, route.interface);
        return;
    }
    // Through a gateway: whether it answers tells the local network from
    // what lies beyond it.
    if (!m_gatewayProbe)
        m_gatewayProbe = m_services.makeProbeChannel();
    m_gatewayProbe->cancel();
    m_probeData = TICMP::EchoPayload(56);
    const EchoRequest request{route.gateway, m_probeData, 64, 0, std::min(m_timeoutMs, m_intervalMs)};
    m_gatewayProbe->start(request, [this, route, gateway](const EchoResult& result) {
        m_tracker.causeSeen(diagnoseCause(route, result.replies > 0), gateway, route.interface);
    });
}
