#pragma once

#include <QByteArray>
#include <QTcpServer>

#include <deque>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>

class QTcpSocket;
class QTimer;

namespace metrics {

struct ConnectionLimits {
    qint64 maxRequestBytes = 8 * 1024; // one request (line, headers, body) and whatever was sent after it
    int deadlineMs = 5000;             // from the accept, or from the last answer, to the next request
    int maxConnections = 64;           // open at once; a newcomer closes the one idle longest, or itself
    int maxWaitingAnswers = 16;        // requests read whole whose answers wait for the earlier ones
};

// A TCP server whose clients cannot make the program hold on to them: each
// connection may send at most maxRequestBytes per request (more gets a 431
// and the connection closed) and must finish it within deadlineMs of the
// accept or of the last answer (or it is closed). The bytes are counted as
// they arrive, before the HTTP server reading the sockets sees them, which is
// why this checks every readyRead both before and after that server's own
// handler; the budget covers the bytes received since the last request was
// read whole, so requests sent back to back share it until they are.
//
// Answers go out in the order of the requests, one at a time: the next is
// made only once the kernel has taken the last, so a connection holds at
// most one unsent answer. A long answer is made in pieces, each when the
// kernel has taken the one before, so that it is never held whole. A client that goes on sending without reading is
// cut off when more than maxWaitingAnswers requests wait, or by the deadline
// while its answer stays unsent; a connection cut off with answers still in
// the kernel's buffers is reset, so that the kernel drops them too.
//
// With maxConnections open, a newcomer closes the connection idle longest
// (no request in progress, nothing unsent, oldest last arrival or answer),
// so idle clients cannot keep a scraper out; only when none is idle is the
// newcomer closed on arrival.
class BoundedTcpServer : public QTcpServer {
public:
    // One answer: its first bytes and, for a long one, where the rest comes
    // from, a piece at a time until an empty piece.
    struct Reply {
        Reply(QByteArray first = {}, std::function<QByteArray()> pieces = {})
            : text(std::move(first)), rest(std::move(pieces)) {}
        QByteArray text;
        std::function<QByteArray()> rest;
    };
    // Makes the answer to one request when its turn comes.
    using Answer = std::function<Reply()>;

    explicit BoundedTcpServer(ConnectionLimits limits, QObject* parent = nullptr);

    // A request on `socket` has been read whole: returns the bytes it came
    // in (line, headers and body, within maxRequestBytes), and the next
    // request gets a fresh byte budget. Nothing once the connection is
    // closing: the request goes unanswered.
    std::optional<QByteArray> takeRequest(QTcpSocket* socket);
    // Queues the answer to the request taken last. With `close` the
    // connection reads no further request and closes once this answer is
    // sent.
    void answer(QTcpSocket* socket, Answer answer, bool close);
    int connectionCount() const { return static_cast<int>(m_connections.size()); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Waiting {
        Answer answer;
        bool close = false;
    };
    struct Sending {
        std::function<QByteArray()> rest;
        bool close = false;
    };
    struct Connection {
        QByteArray received;         // since the last request read whole: the current one and any after it
        qint64 unread = 0;           // of them, still in the socket's buffer after the last readyRead
        std::deque<Waiting> waiting; // answers not made yet, in the order of their requests
        Sending sending;             // the rest of the answer going out, when it comes in pieces
        bool closing = false;        // an answer that closes the connection is queued or sent
        quint64 lastActive = 0;      // m_activity at the accept, the last arrival or the last answer
        QTimer* deadline = nullptr;
    };

    void countArrivals(QTcpSocket* socket);
    void refuse(QTcpSocket* socket);
    void sendWaiting(QTcpSocket* socket);
    bool closeIdlest();

    ConnectionLimits m_limits;
    std::unordered_map<QTcpSocket*, Connection> m_connections;
    quint64 m_activity = 0; // counts arrivals and answers, to order connections by their last one
};

} // namespace metrics
