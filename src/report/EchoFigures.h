#pragma once

#include "history/HistorySource.h"

#include <QList>
#include <QString>

#include <cstdint>

// What the history holds of one host's echoes in the report's period: how
// many were sent and lost, their round trips, the clock hours that went
// worst, and the columns of the latency graph.
namespace report {

// One clock hour of the period, or the part of it inside the period at its
// ends. Where the clocks go back, the hour that happens twice is two.
struct EchoHour {
    qint64 fromMs = 0;
    qint64 toMs = 0;
    qint64 echoes = 0; // sent
    qint64 lost = 0;
    // Of the answered ones; -1 when none was answered.
    std::int64_t medianUs = -1;
    std::int64_t p95Us = -1;
    // Read from the history's summaries, the echoes themselves no longer
    // being kept: the round trips are estimates.
    bool estimated = false;

    double lossRate() const { return echoes > 0 ? double(lost) / double(echoes) : 0; }
};

struct EchoFigures {
    qint64 echoes = 0;
    qint64 lost = 0;
    std::int64_t medianUs = -1;
    std::int64_t p95Us = -1;
    bool estimated = false; // the round trips of the whole period
    // Why the round trips marked as estimates are; empty when none is.
    QString estimateNote;
    // The median time from one echo to the next, from the echoes read one
    // by one; -1 when fewer than two were.
    qint64 spacingMs = -1;
    QList<EchoHour> hours;      // every hour of the period, oldest first
    QList<EchoHour> worstHours; // the highest share lost first; of equal shares, the higher p95

    // The graph: `columns` consecutive buckets of `columnMs` from `graphFromMs`.
    qint64 graphFromMs = 0;
    qint64 columnMs = 0;
    QList<HistoryBucket> columns;

    bool any() const { return echoes > 0; }
    double lossRate() const { return echoes > 0 ? double(lost) / double(echoes) : 0; }
};

// Columns of the graph: about four to the millimetre of its width on A4.
inline constexpr int GraphColumns = 640;
// The round trips are exact, from the echoes one by one, for periods of up
// to this many echoes (35 days of one a second); beyond, they are read from
// the history's summaries and estimated.
inline constexpr qint64 ExactEchoLimit = 3'100'000;
inline constexpr int WorstHourCount = 5;

// The figures of [fromMs, toMs) for `host` as typed.
EchoFigures echoFigures(IHistorySource& history, const QString& host, qint64 fromMs, qint64 toMs,
                        int graphColumns = GraphColumns, qint64 exactLimit = ExactEchoLimit);

// The history beside the ledger: History.db in its folder.
QString historyPathFor(const QString& ledgerPath);

} // namespace report
