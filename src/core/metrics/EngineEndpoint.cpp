#include "EngineEndpoint.h"

#include "EngineFeed.h"
#include "Exposition.h"
#include "engine/MonitorEngine.h"

namespace metrics {

EngineEndpoint::EngineEndpoint(MonitorEngine& engine)
    : m_record(engine.Host, engine.ResolvedIP()), m_server([this] { return exposition({&m_record}); }) {
    follow(engine, m_record);
}

std::unique_ptr<EngineEndpoint> EngineEndpoint::start(MonitorEngine& engine, const QString& listen, QString* error) {
    const auto where = parseListenAddress(listen, error);
    if (!where)
        return nullptr;
    std::unique_ptr<EngineEndpoint> endpoint(new EngineEndpoint(engine));
    if (!endpoint->m_server.listen(*where)) {
        *error = endpoint->m_server.errorString();
        return nullptr;
    }
    return endpoint;
}

} // namespace metrics
