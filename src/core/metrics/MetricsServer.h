#pragma once

#include "BoundedTcpServer.h"
#include "ListenAddress.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace metrics {

class Endpoint;

// Serves GET /metrics with the text `source` gives at the time of each
// request; any other path is 404, any other method on /metrics 405, a
// request with a body 413. Everything runs in the caller's thread and
// event loop, under the limits of BoundedTcpServer: while its maximum of
// connections is open, further clients, scrapers too, are turned away until
// a deadline frees a place.
class MetricsServer : public QObject {
public:
    using Source = std::function<QByteArray()>;

    explicit MetricsServer(Source source, ConnectionLimits limits = {}, QObject* parent = nullptr);
    ~MetricsServer() override;

    // Starts listening (port 0: any free one). False, with errorString()
    // naming the address and the cause, when that fails; listening again
    // replaces the earlier address.
    bool listen(const ListenAddress& where);
    bool isListening() const;
    // The port in use, the chosen one after port 0.
    quint16 port() const;
    QString errorString() const { return m_error; }
    int connectionCount() const;

private:
    Source m_source;
    ConnectionLimits m_limits;
    std::unique_ptr<Endpoint> m_endpoint;
    BoundedTcpServer* m_tcp = nullptr; // the endpoint's child
    QString m_error;
};

} // namespace metrics
