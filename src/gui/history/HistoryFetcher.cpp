#include "history/HistoryFetcher.h"

#include <algorithm>

HistoryFetcher::HistoryFetcher(IHistorySource& source, QObject* parent)
    : QObject(parent), m_source(source), m_thread([this] { work(); }) {}

HistoryFetcher::~HistoryFetcher() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void HistoryFetcher::fetch(const BucketRequest& request) {
    {
        const std::lock_guard lock(m_mutex);
        m_pending = request;
    }
    m_wake.notify_all();
}

void HistoryFetcher::fetchHosts() {
    {
        const std::lock_guard lock(m_mutex);
        m_hostsWanted = true;
    }
    m_wake.notify_all();
}

void HistoryFetcher::run(Job job, std::function<void()> done) {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.emplace_back(std::move(job), std::move(done));
    }
    m_wake.notify_all();
}

bool HistoryFetcher::idle() const {
    const std::lock_guard lock(m_mutex);
    return !m_busy && !m_pending && !m_hostsWanted && m_jobs.empty();
}

void HistoryFetcher::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_hostsWanted || m_pending || !m_jobs.empty(); });
        if (m_stopping)
            return;
        m_busy = true;
        // The answers are handed over as queued calls on this object: they
        // run on its thread, and not at all once it is gone.
        if (m_hostsWanted) {
            m_hostsWanted = false;
            lock.unlock();
            QList<HistoryHost> hosts = m_source.hosts();
            QMetaObject::invokeMethod(
                this, [this, hosts = std::move(hosts)] { emit hostsFetched(hosts); }, Qt::QueuedConnection);
        } else if (m_pending) {
            BucketRequest request = *m_pending;
            m_pending.reset();
            lock.unlock();
            const qint64 columns = std::clamp<qint64>(request.columns(), 0, MaxColumns);
            BucketRun run{request.host, request.widthMs, request.fromMs, request.asOfMs, {}};
            if (columns > 0)
                run.buckets = m_source.buckets(request.host, request.fromMs, request.fromMs + columns * request.widthMs,
                                               int(columns));
            run.buckets.resize(columns);
            QMetaObject::invokeMethod(
                this, [this, run = std::move(run)] { emit fetched(run); }, Qt::QueuedConnection);
        } else {
            auto [job, done] = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job(m_source, m_stopping);
            if (done)
                QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
        }
        lock.lock();
        m_busy = false;
    }
}
