#include "OutageTracker.h"

#include <algorithm>

namespace {

// Boot-time running ahead of monotonic time by more than this is a sleep;
// the two clocks agree to well within it otherwise.
constexpr std::int64_t kSleepSlackMs = 1000;

} // namespace

void OutageTracker::setHost(const QString& host, const QString& address) {
    m_host = host;
    m_address = address;
}

void OutageTracker::observe(const Moment& at) {
    if (m_last) {
        const std::int64_t awake = at.monotonicMs - m_last->monotonicMs;
        const std::int64_t slept = (at.boottimeMs - m_last->boottimeMs) - awake;
        const std::int64_t heldUpAfter = 3 * std::int64_t{m_settings.intervalMs} + m_settings.timeoutMs;
        if (slept > kSleepSlackMs) {
            recordGap(*m_last, at, QStringLiteral("the system was asleep"));
            m_afterWake = true;
        } else if (awake > heldUpAfter) {
            recordGap(*m_last, at, QStringLiteral("Linkvigil was held up"));
        }
    }
    m_last = at;
}

void OutageTracker::recordGap(const Moment& from, const Moment& to, const QString& note) {
    // Whatever was going on stops at the gap: an outage ends where watching
    // ended, and a run of losses starts afresh.
    if (m_row)
        endOutage(from, QStringLiteral("ended by a monitoring gap"));
    m_lost = 0;
    m_causeCounts.clear();
    if (m_sent)
        m_gapDuringEcho = true;
    LedgerRow gap;
    gap.kind = LedgerRow::Kind::Gap;
    gap.start = from.wall;
    gap.end = to.wall;
    gap.durationMs = to.boottimeMs - from.boottimeMs;
    gap.host = m_host;
    gap.address = m_address;
    gap.note = note;
    if (out)
        out->onTrackedRow(gap);
}

void OutageTracker::tick(const Moment& at) {
    observe(at);
}

void OutageTracker::echoSent(const Moment& at) {
    observe(at);
    m_sent = at;
    m_gapDuringEcho = false;
}

bool OutageTracker::echoDone(bool answered, const QString& status, const Moment& at) {
    observe(at);
    const std::optional<Moment> sent = m_sent;
    m_sent.reset();
    if (m_gapDuringEcho || !sent)
        return false;
    if (answered) {
        if (m_row)
            endOutage(at, QString());
        m_lost = 0;
        m_causeCounts.clear();
        m_afterWake = false;
        return true;
    }
    if (m_lost == 0) {
        m_firstLost = *sent;
        m_firstStatus = status;
    }
    ++m_lost;
    if (!m_row && m_lost >= std::max(1, m_settings.outageEchoes)) {
        m_row = std::make_unique<LedgerRow>();
        m_row->kind = LedgerRow::Kind::Outage;
        m_row->start = m_firstLost.wall;
        m_row->host = m_host;
        m_row->address = m_address;
        m_row->firstStatus = m_firstStatus;
        // What was seen of the local side before the run became an outage
        // counts for it too.
        for (auto seen = m_causeCounts.cbegin(); seen != m_causeCounts.cend(); ++seen)
            m_row->causesSeen << seen.key();
        if (m_afterWake)
            m_row->cause = cause::AfterWakeUp;
        else if (!m_causeCounts.isEmpty())
            m_row->cause = std::max_element(m_causeCounts.cbegin(), m_causeCounts.cend()).key();
    }
    if (m_row) {
        m_row->echoesLost = m_lost;
        publishOpen();
    }
    return true;
}

void OutageTracker::causeSeen(const QString& seen, const QString& gateway, const QString& interface,
                              const QString& note) {
    if (seen.isEmpty() || m_lost == 0)
        return;
    m_causeCounts[seen] += 1;
    if (!m_row)
        return;
    if (!m_row->causesSeen.contains(seen))
        m_row->causesSeen << seen;
    // The cause is the one seen most often; after a wake-up it is the wake-up.
    if (m_row->cause != cause::AfterWakeUp) {
        const auto most = std::max_element(m_causeCounts.cbegin(), m_causeCounts.cend());
        m_row->cause = most.key();
    }
    if (!gateway.isEmpty())
        m_row->gateway = gateway;
    if (!interface.isEmpty())
        m_row->interface = interface;
    if (!note.isEmpty())
        m_row->note = note;
    publishOpen();
}

void OutageTracker::stop(const Moment& at, const QString& note) {
    if (m_row)
        endOutage(at, note);
    m_lost = 0;
    m_causeCounts.clear();
    m_sent.reset();
    m_last.reset();
}

void OutageTracker::pathEnds(const QString& address, int number) {
    if (!m_row || number < 1 || (m_row->lastHop == address && m_row->lastHopNumber == number))
        return;
    m_row->lastHop = address;
    m_row->lastHopNumber = number;
    publishOpen();
}

void OutageTracker::endOutage(const Moment& at, const QString& note) {
    const std::unique_ptr<LedgerRow> row = std::move(m_row);
    row->end = at.wall;
    row->durationMs = at.boottimeMs - m_firstLost.boottimeMs;
    if (!note.isEmpty())
        row->note = row->note.isEmpty() ? note : row->note + QStringLiteral("; ") + note;
    if (out)
        out->onTrackedOpen(nullptr);
    if (out)
        out->onTrackedRow(*row);
}

void OutageTracker::publishOpen() {
    if (out)
        out->onTrackedOpen(m_row.get());
}
