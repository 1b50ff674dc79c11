#pragma once

#include <QTcpServer>

#include <unordered_map>

class QTcpSocket;
class QTimer;

namespace metrics {

struct ConnectionLimits {
    qint64 maxRequestBytes = 8 * 1024; // one request: its line, headers and body together
    int deadlineMs = 5000;             // from the accept, or from the last answer, to the next request
    int maxConnections = 64;           // open at once; more are closed as they come
};

// A TCP server whose clients cannot make the program hold on to them: each
// connection may send at most maxRequestBytes per request (more gets a 431
// and the connection closed) and must finish it within deadlineMs (or it is
// closed); connections beyond maxConnections are closed on arrival. The bytes
// are counted as they arrive, before the HTTP server reading the sockets sees
// them, which is why this checks every readyRead both before and after that
// server's own handler.
class BoundedTcpServer : public QTcpServer {
public:
    explicit BoundedTcpServer(ConnectionLimits limits, QObject* parent = nullptr);

    // A request on `socket` has been read whole and is about to be answered:
    // the next one gets a fresh byte budget and deadline. False, and the
    // connection closed, while earlier answers still wait unsent: the client
    // sends but does not read.
    bool startExchange(QTcpSocket* socket);
    int connectionCount() const { return static_cast<int>(m_connections.size()); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection {
        qint64 received = 0; // bytes of the current request
        qint64 unread = 0;   // of them, still in the socket's buffer after the last readyRead
        QTimer* deadline = nullptr;
    };

    void countArrivals(QTcpSocket* socket);
    void refuse(QTcpSocket* socket);

    ConnectionLimits m_limits;
    std::unordered_map<QTcpSocket*, Connection> m_connections;
};

} // namespace metrics
