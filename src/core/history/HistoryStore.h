#pragma once

#include "history/HistoryOptions.h"
#include "history/StoredEcho.h"
#include "trace/PathSnapshot.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class HistoryWriter;
class IStopwatch;

// The history of every echo of the hosts whose logs share a folder, in that
// folder's History.db (SQLite; see HistorySchema.cpp), kept by one object
// per folder however many hosts it has. Made, fed and flushed on one thread
// (the engine's); the file is written on a thread of the store's own, so
// that thread never waits for the disk, for a lock another process holds or
// for a checkpoint.
//
// add() takes each finished echo; flush(), about once a second (the
// caller's timer; HistoryShelf has one), hands what came since to the writer
// thread, which commits it in one transaction (see HistoryWriter). A crash
// or kill -9 loses at most the echoes since the last commit, never the
// file: WAL with synchronous=NORMAL puts each commit in the log before it
// returns, and only a power cut can lose the last commits before a
// checkpoint.
//
// What the writer has to say (a full disk, a folder that is gone, a file
// moved aside, writing again) is said once each through `report`, on the
// caller's thread at the next flush(). Echoes beyond `maxPendingEchoes`
// that are not committed yet are dropped and counted.
class HistoryStore {
public:
    using Report = std::function<void(const QString& message)>;

    HistoryStore(QString path, const IStopwatch& clock, const HistoryOptions& options = {}, Report report = {});
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;
    // close().
    ~HistoryStore();

    void add(const EchoSample& echo);
    // A route change of the path of `host` (as typed), kept with the echoes.
    void addRouteChange(const QString& host, const RouteChange& change);
    // Hands the echoes since the last flush to the writer thread; returns at once.
    void flush();
    // flush() and waits until the writer thread has committed it (or
    // failed to); whether everything given so far is committed.
    bool sync();
    // Commits everything, files every open slot and closes the file; the
    // store takes no echoes after it.
    void close();

    const QString& path() const { return m_path; }
    // Whether the last commit succeeded.
    bool writing() const { return m_writing; }
    std::int64_t committed() const { return m_committed; }
    std::int64_t dropped() const { return m_dropped; }
    std::int64_t pending() const { return m_accepted - m_committed; }

private:
    struct Incoming {
        QString host;
        IpAddress address;
        StoredEcho echo;
    };

    void run(QDateTime start);
    void hand(bool final);
    void say();

    QString m_path;
    const IStopwatch& m_clock;
    HistoryOptions m_options;
    Report m_report;

    std::vector<Incoming> m_incoming; // the caller's thread's, until flush()
    using RouteChanges = std::vector<std::pair<QString, RouteChange>>;
    RouteChanges m_routeChanges;       // likewise
    RouteChanges m_routeChangesHanded; // handed over, not taken yet

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<std::vector<Incoming>> m_batches; // handed over, not taken yet
    std::vector<std::vector<Incoming>> m_spare;   // taken and emptied, to be filled again
    QDateTime m_queuedAt;
    bool m_final = false;
    std::uint64_t m_handed = 0;  // batches handed over
    std::uint64_t m_written = 0; // and committed (or failed)
    QStringList m_messages;

    std::atomic<std::int64_t> m_accepted{0};
    std::atomic<std::int64_t> m_committed{0};
    std::atomic<std::int64_t> m_dropped{0};
    std::atomic<bool> m_writing{false};
    std::int64_t m_droppedSaid = 0;
    bool m_closed = false;
    std::thread m_thread;
};
