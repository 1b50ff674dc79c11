#include "EngineFeed.h"

#include "HostMetrics.h"
#include "engine/MonitorEngine.h"

void metrics::feed::begin(const MonitorEngine& engine, HostMetrics& record) {
    record.setUp(engine.ConnectionUp);
    record.setIndex(engine.ReliabilityIndex / 1000.0);
}

void metrics::feed::echoSent(const MonitorEngine& engine, HostMetrics& record) {
    if (record.host() != engine.WatchedHost()) {
        record = HostMetrics(engine.WatchedHost(), engine.ResolvedIP());
        record.setUp(engine.ConnectionUp);
    }
    record.setAddress(engine.ResolvedIP());
    record.recordRequest();
}

void metrics::feed::echoDone(HostMetrics& record, const EchoSample& echo) {
    record.recordOutcome(echo);
}

void metrics::feed::progressChanged(const MonitorEngine& engine, HostMetrics& record) {
    record.setIndex(engine.ReliabilityIndex / 1000.0);
}

void metrics::feed::outageRow(HostMetrics& record, const LedgerRow& row) {
    if (row.kind == LedgerRow::Kind::Outage)
        record.recordOutage(row.cause, row.durationMs);
}

void metrics::feed::connectionChanged(HostMetrics& record, bool up) {
    record.setUp(up);
}

void metrics::feed::traceProbe(HostMetrics& record, const TraceProbe& probe) {
    record.recordTraceProbe(probe);
}

void metrics::follow(MonitorEngine& engine, HostMetrics& record) {
    feed::begin(engine, record);
    QObject::connect(&engine, &MonitorEngine::echoSent, &engine,
                     [&engine, &record] { feed::echoSent(engine, record); });
    QObject::connect(&engine, &MonitorEngine::echoDone, &engine,
                     [&record](const EchoSample& echo) { feed::echoDone(record, echo); });
    QObject::connect(&engine, &MonitorEngine::progressChanged, &engine,
                     [&engine, &record](int) { feed::progressChanged(engine, record); });
    QObject::connect(&engine, &MonitorEngine::outageRow, &engine,
                     [&record](const LedgerRow& row) { feed::outageRow(record, row); });
    QObject::connect(&engine, &MonitorEngine::connectionChanged, &engine,
                     [&record](bool up) { feed::connectionChanged(record, up); });
    QObject::connect(&engine, &MonitorEngine::traceProbe, &engine,
                     [&record](const TraceProbe& probe) { feed::traceProbe(record, probe); });
}
