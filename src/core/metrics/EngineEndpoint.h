#pragma once

#include "HostMetrics.h"
#include "MetricsServer.h"

#include <QString>

#include <memory>

class MonitorEngine;

namespace metrics {

// The metrics endpoint of one engine: its record, fed from its signals, and
// the server that shows it.
class EngineEndpoint {
public:
    // Listens at `listen` ("[ADDR:]PORT"); null with the reason in *error
    // when the address is no address or cannot be listened on.
    static std::unique_ptr<EngineEndpoint> start(MonitorEngine& engine, const QString& listen, QString* error);

    const MetricsServer& server() const { return m_server; }

private:
    explicit EngineEndpoint(MonitorEngine& engine);

    HostMetrics m_record;
    MetricsServer m_server;
};

} // namespace metrics
