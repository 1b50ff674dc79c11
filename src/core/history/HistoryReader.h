#pragma once

#include "history/HistorySource.h"
#include "history/StoredEcho.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class SqliteDb;

// Reads a History.db with a connection of its own, so it may be used on a
// worker thread (one thread at a time) while a store writes the file. Each
// call reads one snapshot of the file; a file moved aside and made anew
// meanwhile is opened again. A missing file, or one that is no history of
// ours, reads as empty.
//
// Buckets whose columns span two minutes or less come from the echoes
// themselves (from the minute summaries before the oldest echo kept);
// under 20 minutes from the minute summaries, under two hours from the ten
// minutes' and longer ones from the hours'. A summary that straddles two
// columns is shared between them by their part of its span.
class HistoryReader : public IHistorySource {
public:
    explicit HistoryReader(QString path);
    ~HistoryReader() override;

    QList<HistoryHost> hosts() override;
    QList<HistoryBucket> buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) override;
    void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                     const std::function<bool(const EchoSample&)>& take) override;
    QList<RouteChange> routeChanges(const QString& host, qint64 fromMs, qint64 toMs) override;

    // Columns up to this long are made of echoes; shorter than the next of
    // minutes, then of ten minutes.
    static constexpr std::int64_t EchoColumnMs = 2 * 60 * 1000;
    static constexpr std::int64_t MinuteColumnMs = 20 * 60 * 1000;
    static constexpr std::int64_t TenMinuteColumnMs = 2 * 60 * 60 * 1000;

private:
    struct Series {
        std::int64_t id;
        QString host;
        IpAddress address;
    };
    using Take = std::function<void(const Series& series, const StoredEcho& echo)>;

    bool begin();
    void end();
    std::vector<Series> seriesOf(const QString& host);
    // The echoes of [fromMs, toMs) that are in the journal only: those whose
    // block is written already are skipped.
    void journalEchoes(const std::vector<Series>& series, std::int64_t fromMs, std::int64_t toMs, const Take& take);
    void blockEchoes(const Series& series, std::int64_t fromMs, std::int64_t toMs, const Take& take);

    QString m_path;
    std::unique_ptr<SqliteDb> m_db;
    std::uint64_t m_identity = 0;
};
