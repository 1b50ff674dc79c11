#include "BoundedTcpServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace metrics {

namespace {
// Closes at once. What the client has not taken yet the kernel is told to
// drop (a reset) rather than to go on offering it to a client that may never
// read.
void cutOff(QTcpSocket* socket) {
    const int fd = static_cast<int>(socket->socketDescriptor());
    int unsent = 0;
    if (fd >= 0 && ::ioctl(fd, SIOCOUTQ, &unsent) == 0 && unsent > 0) {
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    socket->abort();
}
} // namespace

BoundedTcpServer::BoundedTcpServer(ConnectionLimits limits, QObject* parent) : QTcpServer(parent), m_limits(limits) {}

void BoundedTcpServer::incomingConnection(qintptr descriptor) {
    const int fd = static_cast<int>(descriptor);
    if (connectionCount() >= m_limits.maxConnections && !closeIdlest()) {
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
    connection.lastActive = ++m_activity;
    connection.deadline = new QTimer(socket);
    connection.deadline->setSingleShot(true);
    connect(connection.deadline, &QTimer::timeout, socket, [socket] { cutOff(socket); });
    connection.deadline->start(m_limits.deadlineMs);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_connections.erase(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { sendWaiting(socket); });

    // Before the HTTP server's handler (connected when the socket is handed
    // over below): count what came. After it: note what it left unread.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { countArrivals(socket); });
    addPendingConnection(socket);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (const auto it = m_connections.find(socket); it != m_connections.end())
            it->second.unread = socket->bytesAvailable();
    });
}

bool BoundedTcpServer::closeIdlest() {
    auto idlest = m_connections.end();
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        const Connection& connection = it->second;
        const bool idle = connection.received.isEmpty() && connection.waiting.empty() && !connection.sending.rest &&
                          !connection.closing && it->first->bytesToWrite() == 0;
        if (idle && (idlest == m_connections.end() || connection.lastActive < idlest->second.lastActive))
            idlest = it;
    }
    if (idlest == m_connections.end())
        return false;
    // Forgotten at once, so the count stays within the limit; the HTTP
    // server deletes the socket once it has seen it disconnect.
    QTcpSocket* socket = idlest->first;
    m_connections.erase(idlest);
    socket->abort();
    return true;
}

void BoundedTcpServer::countArrivals(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection& connection = it->second;
    // The HTTP server reads inside a transaction, which hides what it has
    // read so far from bytesAvailable() and peek(): what lies past `unread`
    // is new.
    const qint64 available = socket->bytesAvailable();
    if (available > connection.unread) {
        connection.received += socket->peek(available).sliced(connection.unread);
        connection.lastActive = ++m_activity;
    }
    connection.unread = available;
    if (connection.received.size() > m_limits.maxRequestBytes)
        refuse(socket);
}

void BoundedTcpServer::refuse(QTcpSocket* socket) {
    // Answering with `close` stops all reading of this socket, the HTTP
    // server's included: its handler comes after this one and is skipped.
    answer(
        socket,
        [] {
            return QByteArray("HTTP/1.1 431 Request Header Fields Too Large\r\n"
                              "Content-Length: 0\r\nConnection: close\r\n\r\n");
        },
        true);
}

std::optional<QByteArray> BoundedTcpServer::takeRequest(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->second.closing)
        return std::nullopt;
    Connection& connection = it->second;
    // What is left unread belongs to the next request.
    const qint64 next = std::min<qint64>(socket->bytesAvailable(), connection.received.size());
    QByteArray request = connection.received.first(connection.received.size() - next);
    connection.received.remove(0, request.size());
    connection.unread = next;
    return request;
}

void BoundedTcpServer::answer(QTcpSocket* socket, Answer answer, bool close) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->second.closing)
        return;
    Connection& connection = it->second;
    if (static_cast<int>(connection.waiting.size()) >= m_limits.maxWaitingAnswers) {
        cutOff(socket);
        return;
    }
    connection.waiting.push_back({std::move(answer), close});
    if (close) {
        connection.closing = true;
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    }
    sendWaiting(socket);
}

void BoundedTcpServer::sendWaiting(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection& connection = it->second;
    // Answers pile up in the socket's buffer only once the kernel's is
    // full; until it has room again, the next one (or the next piece) is
    // not even made.
    while (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState) {
        bool close = false;
        if (connection.sending.rest) {
            const QByteArray piece = connection.sending.rest();
            if (!piece.isEmpty()) {
                socket->write(piece);
                connection.lastActive = ++m_activity;
                connection.deadline->start(m_limits.deadlineMs);
                continue;
            }
            close = connection.sending.close;
            connection.sending = {};
        } else {
            if (connection.waiting.empty())
                return;
            const Waiting next = std::move(connection.waiting.front());
            connection.waiting.pop_front();
            Reply reply = next.answer();
            socket->write(reply.text);
            connection.lastActive = ++m_activity;
            connection.deadline->start(m_limits.deadlineMs);
            if (reply.rest) {
                connection.sending = {std::move(reply.rest), next.close};
                continue;
            }
            close = next.close;
        }
        if (close) {
            socket->disconnectFromHost(); // once the answer is out
            return;
        }
    }
}

} // namespace metrics
