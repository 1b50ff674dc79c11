#pragma once

#include <QString>

// What the window asks the history for: the buckets of [fromMs, toMs),
// both on the grid of `widthMs`, as of `asOfMs`.
struct BucketRequest {
    QString host;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    qint64 widthMs = 1;
    qint64 asOfMs = 0;

    qint64 columns() const { return widthMs > 0 ? (toMs - fromMs) / widthMs : 0; }
    friend bool operator==(const BucketRequest&, const BucketRequest&) = default;
};
