#pragma once

#include "history/HistoryOptions.h"

#include "echo/EchoSample.h"
#include "trace/TraceProbe.h"

class HistoryShelf;
class MonitorEngine;
struct MonitorProfile;

namespace history {

// What a settings file asks of the history ([History] Enabled, KeepDays).
HistoryOptions optionsOf(const MonitorProfile& profile);

// A probe of the trace of `host`'s path, as its hop's sample.
EchoSample sampleOfHop(const QString& host, const TraceProbe& probe);

// Keeps every echo of `engine` in the History.db beside its outage ledger
// (the folder of its connection log, wherever that is moved to), for as
// long as both live; with them its path's probes hop by hop, and the
// route changes.
void follow(MonitorEngine& engine, HistoryShelf& shelf, const HistoryOptions& options);

} // namespace history
