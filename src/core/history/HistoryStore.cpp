#include "history/HistoryStore.h"

#include "clock/Stopwatch.h"
#include "history/HistoryWriter.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

HistoryStore::HistoryStore(QString path, const IStopwatch& clock, const HistoryOptions& options, Report report)
    : m_path(std::move(path)), m_clock(clock), m_options(options), m_report(std::move(report)),
      m_thread([this, start = clock.now().wall] { run(start); }) {}

HistoryStore::~HistoryStore() {
    close();
}

void HistoryStore::add(const EchoSample& sample) {
    StoredEcho echo;
    if (m_closed || !StoredEcho::fromSample(sample, echo))
        return;
    if (pending() >= m_options.maxPendingEchoes) {
        ++m_dropped;
        return;
    }
    ++m_accepted;
    m_incoming.push_back({sample.host, sample.address, echo});
}

void HistoryStore::addRouteChange(const QString& host, const RouteChange& change) {
    if (!m_closed)
        m_routeChanges.emplace_back(host, change);
}

void HistoryStore::hand(bool final) {
    {
        const std::lock_guard lock(m_mutex);
        for (auto& change : m_routeChanges)
            m_routeChangesHanded.push_back(std::move(change));
        m_routeChanges.clear();
        m_batches.push_back(std::move(m_incoming));
        m_incoming.clear();
        if (!m_spare.empty()) {
            m_incoming.swap(m_spare.back()); // its room kept from before
            m_spare.pop_back();
        }
        m_queuedAt = m_clock.now().wall;
        m_final = m_final || final;
        ++m_handed;
    }
    m_wake.notify_one();
}

void HistoryStore::flush() {
    if (m_closed)
        return;
    hand(false);
    say();
}

bool HistoryStore::sync() {
    if (m_closed)
        return false;
    hand(false);
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_written == m_handed; });
    }
    say();
    return m_writing && pending() == 0;
}

void HistoryStore::close() {
    if (m_closed)
        return;
    hand(true);
    m_thread.join();
    m_closed = true;
    say();
}

void HistoryStore::say() {
    QStringList messages;
    {
        const std::lock_guard lock(m_mutex);
        messages.swap(m_messages);
    }
    if (!m_report)
        return;
    for (const QString& m : messages) {
        // Writing again: with how many echoes could not be kept meanwhile.
        const std::int64_t lost = m_dropped - m_droppedSaid;
        if (m.endsWith(QStringLiteral(" is written again.")) && lost > 0)
            m_report(m.chopped(1) + QStringLiteral("; %1 echoes could not be kept meanwhile.").arg(lost));
        else
            m_report(m);
        m_droppedSaid = m_dropped;
    }
}

void HistoryStore::run(QDateTime start) {
    // Background work: woken by a flush, it does not take the engine's
    // core from it; it runs when the engine waits.
    const sched_param background{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &background);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    HistoryWriter writer(
        m_path, m_options,
        [this](const QString& message) {
            const std::lock_guard lock(m_mutex);
            m_messages << message;
        },
        start);
    m_writing = writer.writing();
    std::vector<std::vector<Incoming>> batches;
    RouteChanges routeChanges;
    for (;;) {
        QDateTime at;
        bool final = false;
        std::uint64_t handed = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_handed != m_written; });
            batches.swap(m_batches);
            routeChanges.swap(m_routeChangesHanded);
            at = m_queuedAt;
            final = m_final;
            handed = m_handed;
        }
        for (std::vector<Incoming>& batch : batches) {
            for (const Incoming& in : batch)
                writer.add(in.host, in.address, in.echo);
            batch.clear();
        }
        for (const auto& [host, change] : routeChanges)
            writer.addRouteChange(host, change);
        routeChanges.clear();
        writer.commit(at, final);
        m_writing = writer.writing();
        m_committed = writer.committed();
        {
            const std::lock_guard lock(m_mutex);
            m_written = handed;
            for (std::vector<Incoming>& batch : batches)
                if (m_spare.size() < 2)
                    m_spare.push_back(std::move(batch));
        }
        batches.clear();
        m_done.notify_all();
        if (final)
            return;
    }
}
