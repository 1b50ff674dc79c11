#include "BoundedTcpServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace metrics {

namespace {
// Room for a "100 Continue" or a short error answer not flushed yet.
constexpr qint64 kUnsentSlack = 1024;
} // namespace

BoundedTcpServer::BoundedTcpServer(ConnectionLimits limits, QObject* parent) : QTcpServer(parent), m_limits(limits) {}

void BoundedTcpServer::incomingConnection(qintptr descriptor) {
    const int fd = static_cast<int>(descriptor);
    if (connectionCount() >= m_limits.maxConnections) {
        ::close(fd);
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(fd);
        return;
    }
    // Room for one request and the start of the next; the socket stops
    // reading from the kernel while it is full.
    socket->setReadBufferSize(2 * m_limits.maxRequestBytes);

    Connection& connection = m_connections[socket];
    connection.deadline = new QTimer(socket);
    connection.deadline->setSingleShot(true);
    connect(connection.deadline, &QTimer::timeout, socket, &QAbstractSocket::abort);
    connection.deadline->start(m_limits.deadlineMs);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_connections.erase(socket); });

    // Before the HTTP server's handler (connected when the socket is handed
    // over below): count what came. After it: note what it left unread.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { countArrivals(socket); });
    addPendingConnection(socket);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (const auto it = m_connections.find(socket); it != m_connections.end())
            it->second.unread = socket->bytesAvailable();
    });
}

void BoundedTcpServer::countArrivals(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection& connection = it->second;
    const qint64 available = socket->bytesAvailable();
    connection.received += available - connection.unread;
    connection.unread = available;
    if (connection.received > m_limits.maxRequestBytes)
        refuse(socket);
}

void BoundedTcpServer::refuse(QTcpSocket* socket) {
    // Nobody reads this socket any more, the HTTP server included: its
    // handler comes after this one and is skipped.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    socket->write("HTTP/1.1 431 Request Header Fields Too Large\r\n"
                  "Content-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
}

bool BoundedTcpServer::startExchange(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return false;
    // Answers pile up here only once the kernel's send buffer is full.
    if (socket->bytesToWrite() > kUnsentSlack) {
        socket->abort();
        return false;
    }
    // What is left unread belongs to the next request.
    it->second.received = it->second.unread = socket->bytesAvailable();
    it->second.deadline->start(m_limits.deadlineMs);
    return true;
}

} // namespace metrics
