#pragma once

class MonitorEngine;

namespace metrics {

class HostMetrics;

// Keeps `record` up to date from the engine's signals for as long as both
// live: each echo sent and what became of it, the index after each reply,
// the alerts' view of the connection. A new host (typed in the window)
// starts a new record, under its own labels.
void follow(MonitorEngine& engine, HostMetrics& record);

} // namespace metrics
