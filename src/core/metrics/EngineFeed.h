#pragma once

class MonitorEngine;
struct EchoSample;
struct LedgerRow;
struct TraceProbe;

namespace metrics {

class HostMetrics;

// Keeps `record` up to date from the engine's signals for as long as both
// live: each echo sent and what became of it, the index after each reply,
// the alerts' view of the connection. A new host (typed in the window)
// starts a new record, under its own labels.
void follow(MonitorEngine& engine, HostMetrics& record);

// The steps follow() takes, for an owner that hears of the engine's events
// itself: the engine as it stands at first, then one step per event.
namespace feed {
void begin(const MonitorEngine& engine, HostMetrics& record);
void echoSent(const MonitorEngine& engine, HostMetrics& record);
void echoDone(HostMetrics& record, const EchoSample& echo);
void progressChanged(const MonitorEngine& engine, HostMetrics& record);
void outageRow(HostMetrics& record, const LedgerRow& row);
void connectionChanged(HostMetrics& record, bool up);
void traceProbe(HostMetrics& record, const TraceProbe& probe);
} // namespace feed

} // namespace metrics
