#pragma once

#include "history/HistoryOptions.h"
#include "history/StoredEcho.h"
#include "trace/PathSnapshot.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class HistoryPruner;
class JournalAdopter;
class SlotBuffer;
class SlotWriter;
class SqliteDb;

// Everything the history does to History.db, on one thread (the store's
// writer thread; see HistoryStore). The echoes it is given are held in
// memory by series (host as typed, address) and slot (five minutes); each
// commit() is one transaction that files the new echoes as one journal row,
// closes the slots that ended a while ago into packed blocks with their
// summaries (a bounded number each time: a folder's slots end together),
// lets go of journal rows whose echoes are all in blocks, takes over a part
// of the journal of a writer that was killed, and prunes a little.
//
// When the file cannot be written the writer says so once through
// `report`, keeps the echoes in memory and tries again at the next commit;
// it says once more when it writes again. A damaged file met while writing
// is moved aside at the next opening (see HistoryFile).
class HistoryWriter {
public:
    using Report = std::function<void(const QString& message)>;

    // Opens the file (or says why not); `now` names a file moved aside.
    HistoryWriter(QString path, const HistoryOptions& options, Report report, const QDateTime& now);
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;
    ~HistoryWriter();

    void add(const QString& host, const IpAddress& address, const StoredEcho& echo);
    // A route change of `host`'s path, kept with the next commit.
    void addRouteChange(const QString& host, const RouteChange& change);
    // One transaction, at `now`; `final`: every open slot is closed and the
    // writer leaves the file. Whether everything is committed.
    bool commit(const QDateTime& now, bool final = false);

    bool writing() const { return m_db && !m_failing; }
    // Echoes given and not committed yet, and committed so far.
    std::int64_t pending() const { return m_pending; }
    std::int64_t committed() const { return m_committed; }

private:
    struct Series {
        std::int64_t id = 0; // 0: not filed in the file yet
        QString host;
        IpAddress address;
        QString addressText;
        std::int64_t firstMs = 0;
        std::int64_t lastMs = 0;
        std::vector<std::unique_ptr<SlotBuffer>> openSlots; // by start
    };
    struct Closing {
        Series* series;
        std::size_t slot;
    };

    Series& seriesFor(const QString& host, const IpAddress& address);
    int transaction(std::int64_t nowMs, bool final, std::vector<Closing>& closing, std::vector<Series*>& filed,
                    std::vector<SlotBuffer*>& journaled);
    int fileSeries(std::vector<Series*>& filed);
    int fileRouteChanges();
    int registerWriter(std::int64_t nowMs);
    int closeSlots(std::int64_t nowMs, bool final, std::vector<Closing>& closing);
    int writeJournal(const std::vector<Closing>& closing, std::vector<SlotBuffer*>& journaled);
    bool open(const QDateTime& now);
    void closeFile();
    bool failed(int code, const QString& what);
    void say(const QString& message);
    void resume();

    QString m_path;
    HistoryOptions m_options;
    Report m_report;

    std::unique_ptr<SqliteDb> m_db;
    std::unique_ptr<SlotWriter> m_slotWriter;
    std::unique_ptr<HistoryPruner> m_pruner;
    std::unique_ptr<JournalAdopter> m_adopter;
    std::uint64_t m_fileIdentity = 0;
    std::int64_t m_writerId = 0;
    std::int64_t m_nextLookMs = 0;
    int m_busyOpens = 0;
    bool m_broken = false;  // move the file aside at the next opening
    bool m_failing = false; // said so; waiting to write again
    bool m_closed = false;

    std::vector<std::unique_ptr<Series>> m_series;
    QHash<QString, std::vector<Series*>> m_byHost;
    std::int64_t m_pending = 0;
    std::int64_t m_committed = 0;
    std::vector<std::pair<QString, RouteChange>> m_routeChanges; // not committed yet
};
