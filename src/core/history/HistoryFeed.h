#pragma once

#include "history/HistoryOptions.h"

class HistoryShelf;
class MonitorEngine;
struct MonitorProfile;

namespace history {

// What a settings file asks of the history ([History] Enabled, KeepDays).
HistoryOptions optionsOf(const MonitorProfile& profile);

// Keeps every echo of `engine` in the History.db beside its outage ledger
// (the folder of its connection log, wherever that is moved to), for as
// long as both live.
void follow(MonitorEngine& engine, HistoryShelf& shelf, const HistoryOptions& options);

} // namespace history
