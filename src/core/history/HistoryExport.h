#pragma once

#include "history/HistorySource.h"

#include <QString>

class QIODevice;

// The echoes of one host and span of time as a table for other programs:
// CSV (RFC 4180: comma-separated, fields quoted where they need it, CRLF
// line ends) or JSON lines (one object per line), UTF-8, with the fields
//     sent,host,address,outcome,status,round_trip_ms,ttl
// `sent` is ISO 8601 with milliseconds and the UTC offset the echo was sent
// at, `outcome` "answered", "timed out" or "error", `status` the status
// text, `round_trip_ms` milliseconds with three decimals (microseconds) and
// `ttl` the reply's; both are empty (null) without a reply. The window's
// export and the watcher's --export write the same bytes.
namespace history {

enum class ExportFormat { Csv, JsonLines };

struct ExportResult {
    qint64 echoes = 0; // rows written, the header not counted
    bool ok = true;
    QString error; // why not, when not ok
};

// Writes the echoes of `host` (as typed) in [fromMs, toMs) to `out`, which
// must be open for writing; stops at the first failed write.
ExportResult exportEchoes(IHistorySource& source, const QString& host, qint64 fromMs, qint64 toMs, ExportFormat format,
                          QIODevice& out);

// The format a file name asks for: ".jsonl" (or ".ndjson") for JSON lines,
// anything else CSV.
ExportFormat formatForFile(const QString& path);

} // namespace history
