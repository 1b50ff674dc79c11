#pragma once

#include "history/HistorySource.h"

#include <QList>
#include <QString>

// Buckets on a grid: consecutive spans of `widthMs` from `fromMs`, which
// is a multiple of the width, so that runs fetched at different times for
// the same zoom line up and join.
struct BucketRun {
    QString host;
    qint64 widthMs = 0;
    qint64 fromMs = 0;
    qint64 asOfMs = 0; // the clock when they were asked for: later echoes are not in them
    QList<HistoryBucket> buckets;

    qint64 toMs() const { return fromMs + widthMs * buckets.size(); }
};
