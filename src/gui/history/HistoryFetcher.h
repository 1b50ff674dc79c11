#pragma once

#include "history/BucketRequest.h"
#include "history/BucketRun.h"
#include "history/HistorySource.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Reads the history on a thread of its own, so that the window never waits
// for the disk: each call here returns at once and the answer comes later
// as a signal, on the thread this object lives in. Only the newest bucket
// request that has not started yet is kept: a view that moves on makes the
// ones it left behind moot. The source is called from that one thread only,
// one call at a time.
class HistoryFetcher : public QObject {
    Q_OBJECT
public:
    // A piece of work on the source, e.g. an export; `cancelled` turns true
    // when the fetcher goes away and the job should end soon.
    using Job = std::function<void(IHistorySource& source, const std::atomic<bool>& cancelled)>;

    explicit HistoryFetcher(IHistorySource& source, QObject* parent = nullptr);
    // Waits for the source call under way, if any.
    ~HistoryFetcher() override;

    // Asks for buckets; a request still waiting is replaced.
    void fetch(const BucketRequest& request);
    // Asks for the hosts the history holds.
    void fetchHosts();
    // Runs `job` after what was asked before it, then `done` here.
    void run(Job job, std::function<void()> done = {});

    // No request waits and none is under way.
    bool idle() const;

    // At most this many buckets are asked for at once; a longer request is
    // cut at its end.
    static constexpr qint64 MaxColumns = 20'000;

signals:
    void fetched(const BucketRun& run);
    void hostsFetched(const QList<HistoryHost>& hosts);

private:
    void work();

    IHistorySource& m_source;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<BucketRequest> m_pending;
    bool m_hostsWanted = false;
    std::deque<std::pair<Job, std::function<void()>>> m_jobs;
    bool m_busy = false;
    std::atomic<bool> m_stopping = false;
    std::thread m_thread;
};
