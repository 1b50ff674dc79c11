// The HTTP side is Qt HTTP Server's (a technology preview in Qt 6.4). It
// parses requests and writes answers but bounds nothing itself: it buffers a
// request line, a header block or a body of any length, keeps connections
// open for ever and takes any number of them. Its bind() takes a QTcpServer
// of ours, though, and it reads only the sockets that server hands over; so
// BoundedTcpServer enforces every limit around it, counting the bytes before
// Qt's parser sees them. What is left here is the routing.
#include "MetricsServer.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>

namespace metrics {

using Status = QHttpServerResponder::StatusCode;

// Answers each request read whole: the metrics for GET /metrics, an error
// for the rest.
class Endpoint : public QAbstractHttpServer {
public:
    Endpoint(BoundedTcpServer& tcp, const MetricsServer::Source& source) : m_tcp(tcp), m_source(source) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        // Qt HTTP Server goes on to missingHandler() after a WebSocket
        // upgrade request whatever this answers: leave it that one answer.
        if (!request.value("Upgrade").isEmpty())
            return false;
        if (!m_tcp.startExchange(socket))
            return true;
        QHttpServerResponder responder = makeResponder(request, socket);
        if (request.url().path() != QLatin1String("/metrics"))
            responder.write(Status::NotFound);
        else if (request.method() != QHttpServerRequest::Method::Get)
            responder.write(QByteArray(), {{"Allow", "GET"}}, Status::MethodNotAllowed);
        else if (!request.body().isEmpty())
            responder.write(Status::PayloadTooLarge);
        else
            responder.write(m_source(), "text/plain; version=0.0.4; charset=utf-8");
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        if (m_tcp.startExchange(socket))
            makeResponder(request, socket).write(Status::NotFound);
    }

private:
    BoundedTcpServer& m_tcp;
    const MetricsServer::Source& m_source;
};

MetricsServer::MetricsServer(Source source, ConnectionLimits limits, QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_limits(limits) {}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::listen(const ListenAddress& where) {
    // A fresh pair each time, so nothing of an earlier address stays open.
    m_endpoint.reset();
    m_tcp = nullptr;
    auto tcp = std::make_unique<BoundedTcpServer>(m_limits);
    if (!tcp->listen(where.address, where.port)) {
        m_error = QStringLiteral("Cannot listen on %1: %2").arg(formatListenAddress(where), tcp->errorString());
        return false;
    }
    m_error.clear();
    m_tcp = tcp.get();
    m_endpoint = std::make_unique<Endpoint>(*m_tcp, m_source);
    m_endpoint->bind(tcp.release()); // the endpoint takes it as its child
    return true;
}

bool MetricsServer::isListening() const {
    return m_tcp && m_tcp->isListening();
}

quint16 MetricsServer::port() const {
    return m_tcp ? m_tcp->serverPort() : 0;
}

int MetricsServer::connectionCount() const {
    return m_tcp ? m_tcp->connectionCount() : 0;
}

} // namespace metrics
