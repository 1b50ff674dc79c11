#include "HostLedger.h"

#include <QFileInfo>

#include <utility>

namespace {

// Rows kept for a disk that stays full; beyond this the oldest give way.
constexpr qsizetype kMostWaiting = 10'000;

} // namespace

HostLedger::HostLedger(QString ledgerPath, QString host)
    : m_file(ledgerPath), m_state(ledgerPath, host), m_host(std::move(host)) {}

QList<LedgerRow> HostLedger::begin(const Moment& now, const QString& address, const Timing& timing) {
    QList<LedgerRow> rows;
    // The ledger exists from the first start on, so a reader finds it.
    report(Ledger, m_file.path(), m_file.create());
    LedgerFile::Outcome taken;
    std::optional<LedgerRow> left = m_state.takeOpen(&taken);
    report(Open, m_state.openPath(), taken);
    if (left) {
        left->end = QDateTime();
        left->durationMs = 0;
        const QString note = QStringLiteral("end unknown: Linkvigil was stopped");
        left->note = left->note.isEmpty() ? note : left->note + QStringLiteral("; ") + note;
        rows.append(*left);
        keep(*left);
    }

    const HostState::Stamp last = m_state.readStamp();
    if (last.valid()) {
        const qint64 away = last.last.msecsTo(now.wall);
        // Stop, closing and a switch leave the exact moment; a program that
        // ended without a word left one up to a minute old.
        qint64 slack = 3 * timing.intervalMs + timing.timeoutMs;
        if (last.state == HostState::Watching::Watching)
            slack += StampEveryMs;
        if (away > slack) {
            LedgerRow gap;
            gap.kind = LedgerRow::Kind::Gap;
            gap.start = last.last;
            gap.end = now.wall;
            gap.durationMs = away;
            gap.host = m_host;
            gap.address = address;
            gap.note = HostState::notWatchedNote(last.state);
            rows.append(gap);
            keep(gap);
        }
    }
    // Watched since the first start here; hosts of an earlier version's
    // ledger since the ledger was made.
    m_since = last.since;
    if (!m_since.isValid() && last.valid())
        m_since = QFileInfo(m_file.path()).birthTime();
    if (!m_since.isValid())
        m_since = now.wall;
    stamp(now, HostState::Watching::Watching);
    return rows;
}

void HostLedger::keep(const LedgerRow& row) {
    m_waiting.append(row);
    if (m_waiting.size() > kMostWaiting)
        m_waiting.removeFirst();
    flush();
}

void HostLedger::keepOpen(const LedgerRow* open) {
    if (!open) {
        // Cleared once the row that ends it is in the ledger: until then a
        // killed program still finds the outage at its next start.
        m_clearOpen = true;
        return;
    }
    m_clearOpen = false;
    report(Open, m_state.openPath(), m_state.writeOpen(*open));
}

void HostLedger::flush() {
    while (!m_waiting.isEmpty()) {
        const LedgerFile::Outcome written = m_file.append(m_waiting.constFirst());
        report(Ledger, m_file.path(), written);
        if (!written)
            return;
        m_waiting.removeFirst();
    }
    if (m_clearOpen) {
        m_clearOpen = false;
        report(Open, m_state.openPath(), m_state.clearOpen());
    }
}

void HostLedger::tick(const Moment& now) {
    if (!m_waiting.isEmpty())
        flush();
    if (now.monotonicMs - m_lastStampMs >= StampEveryMs)
        stamp(now, HostState::Watching::Watching);
}

void HostLedger::end(const Moment& now, HostState::Watching why) {
    flush();
    stamp(now, why);
}

void HostLedger::stamp(const Moment& now, HostState::Watching state) {
    m_lastStampMs = now.monotonicMs;
    report(Stamp, m_state.stampPath(), m_state.writeStamp({m_since, now.wall, state}));
}

void HostLedger::report(File file, const QString& path, const LedgerFile::Outcome& outcome) {
    if (outcome) {
        m_failing[file] = false;
        return;
    }
    if (m_failing[file])
        return;
    m_failing[file] = true;
    static const QString what[FileCount] = {QString(), QStringLiteral("the outage in progress"),
                                            QStringLiteral("the watching stamp")};
    if (out)
        out->onLedgerFileFailed(LedgerFile::describe(path, outcome, what[file]));
}
