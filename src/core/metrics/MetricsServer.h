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

// Serves GET and HEAD /metrics with the text `source` gives when each answer
// is made (HEAD: its headers and Content-Length, no body); any other path is
// 404, any other method on /metrics 405 (Allow: GET, HEAD), a request with a
// body 413, one whose Content-Length is not a plain decimal that fits (or
// several that disagree) 400 and the connection closed. Requests sent back
// to back on one connection are answered in order. The connection closes
// after the answer when the request says "Connection: close", or is HTTP/1.0
// without "Connection: keep-alive"; that answer says so. Everything runs in
// the caller's thread and event loop, under the limits of BoundedTcpServer:
// while its maximum of connections is open, a new client, a scraper too,
// takes the place of the one idle longest, and is turned away only when
// none is idle.
class MetricsServer : public QObject {
public:
    using Source = std::function<QByteArray()>;
    // A text too large to hold whole: its length, and its pieces one after
    // another until an empty one, each made when the connection has room.
    struct Body {
        qint64 size = 0;
        std::function<QByteArray()> next;
    };
    using PiecewiseSource = std::function<Body()>;

    explicit MetricsServer(Source source, ConnectionLimits limits = {}, QObject* parent = nullptr);
    explicit MetricsServer(PiecewiseSource source, ConnectionLimits limits = {}, QObject* parent = nullptr);
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
    PiecewiseSource m_pieces;
    ConnectionLimits m_limits;
    std::unique_ptr<Endpoint> m_endpoint;
    BoundedTcpServer* m_tcp = nullptr; // the endpoint's child
    QString m_error;
};

} // namespace metrics
