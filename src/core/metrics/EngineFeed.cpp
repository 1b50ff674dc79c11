#include "EngineFeed.h"

#include "HostMetrics.h"
#include "engine/MonitorEngine.h"

void metrics::follow(MonitorEngine& engine, HostMetrics& record) {
    record.setUp(engine.ConnectionUp);
    record.setIndex(engine.ReliabilityIndex / 1000.0);
    QObject::connect(&engine, &MonitorEngine::echoSent, &engine, [&engine, &record] {
        if (record.host() != engine.WatchedHost()) {
            record = HostMetrics(engine.WatchedHost(), engine.ResolvedIP());
            record.setUp(engine.ConnectionUp);
        }
        record.setAddress(engine.ResolvedIP());
        record.recordRequest();
    });
    QObject::connect(&engine, &MonitorEngine::echoDone, &engine,
                     [&record](const EchoSample& echo) { record.recordOutcome(echo); });
    QObject::connect(&engine, &MonitorEngine::progressChanged, &engine,
                     [&engine, &record](int) { record.setIndex(engine.ReliabilityIndex / 1000.0); });
    QObject::connect(&engine, &MonitorEngine::outageRow, &engine, [&record](const LedgerRow& row) {
        if (row.kind == LedgerRow::Kind::Outage)
            record.recordOutage(row.cause, row.durationMs);
    });
    QObject::connect(&engine, &MonitorEngine::connectionChanged, &engine, [&record](bool up) { record.setUp(up); });
}
