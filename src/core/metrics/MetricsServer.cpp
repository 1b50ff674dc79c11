// The HTTP side is Qt HTTP Server's (a technology preview in Qt 6.4). It
// parses requests but bounds nothing itself: it buffers a request line, a
// header block or a body of any length, keeps connections open for ever and
// takes any number of them. Its bind() takes a QTcpServer of ours, though,
// and it reads only the sockets that server hands over; so BoundedTcpServer
// enforces every limit around it, counting the bytes before Qt's parser sees
// them. Qt's responder writes at once, while an answer here may have to wait
// for the one before it, so the answers are written here too, together with
// the routing.
#include "MetricsServer.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>

#include <algorithm>
#include <optional>

namespace metrics {

namespace {

using Status = QHttpServerResponder::StatusCode;
using Headers = QList<std::pair<QByteArray, QByteArray>>;

QByteArray reasonPhrase(Status status) {
    switch (status) {
    case Status::Ok:
        return "OK";
    case Status::BadRequest:
        return "Bad Request";
    case Status::NotFound:
        return "Not Found";
    case Status::MethodNotAllowed:
        return "Method Not Allowed";
    case Status::PayloadTooLarge:
        return "Payload Too Large";
    default:
        return "Unknown";
    }
}

// Everything but the body, its Content-Length included.
QByteArray answerHead(Status status, const Headers& headers, qint64 bodySize) {
    QByteArray text = "HTTP/1.1 " + QByteArray::number(static_cast<int>(status)) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers)
        text += name + ": " + value + "\r\n";
    text += "Content-Length: " + QByteArray::number(bodySize) + "\r\n\r\n";
    return text;
}

// The whole answer; without `withBody` (for HEAD) everything but the body.
QByteArray answerText(Status status, const Headers& headers, const QByteArray& body, bool withBody) {
    QByteArray text = answerHead(status, headers, body.size());
    if (withBody)
        text += body;
    return text;
}

// The values of every header `name` (Qt keeps repeated ones apart).
QByteArrayList headerValues(const QHttpServerRequest& request, QByteArrayView name) {
    QByteArrayList values;
    for (const auto& [key, value] : request.headers())
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            values += value.trimmed();
    return values;
}

// Qt's parser reads a Content-Length that is not a plain decimal, or is too
// large, as none at all and would take a body sent with it for the next
// request; with several it reads the first. Such a request is answered 400
// and ends the connection.
bool badContentLength(const QHttpServerRequest& request) {
    std::optional<qint64> length;
    for (const QByteArray& value : headerValues(request, "content-length")) {
        const bool plain =
            !value.isEmpty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
        bool fits = false;
        const qint64 number = value.toLongLong(&fits);
        if (!plain || !fits || (length && *length != number))
            return true;
        length = number;
    }
    return false;
}

// The version in the request line, from the bytes the request came in: Qt's
// parser reads it but keeps it to itself. 1.0 when it cannot be read.
std::pair<int, int> httpVersion(const QByteArray& request) {
    // Like Qt, past the line ends a client may leave after a request.
    const QByteArray text = request.trimmed();
    const qsizetype end = text.indexOf('\n');
    const QByteArray protocol = (end < 0 ? text : text.first(end)).simplified().split(' ').value(2);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (protocol.size() != 8 || !protocol.startsWith("HTTP/") || !digit(protocol[5]) || !digit(protocol[7]))
        return {1, 0};
    return {protocol[5] - '0', protocol[7] - '0'};
}

// How the connection goes on after the answer.
enum class Persistence {
    Close,     // asked for, or the default of HTTP/1.0
    KeepAlive, // HTTP/1.0 asking to keep it: the answer says it does
    Default,   // HTTP/1.1 and later keep it without a word
};

Persistence persistence(const QHttpServerRequest& request, const QByteArray& raw) {
    bool close = false;
    bool keepAlive = false;
    for (const QByteArray& value : headerValues(request, "connection"))
        for (const QByteArray& option : value.split(',')) {
            close = close || option.trimmed().compare("close", Qt::CaseInsensitive) == 0;
            keepAlive = keepAlive || option.trimmed().compare("keep-alive", Qt::CaseInsensitive) == 0;
        }
    const auto [major, minor] = httpVersion(raw);
    if (close)
        return Persistence::Close;
    if (major > 1 || (major == 1 && minor >= 1))
        return Persistence::Default;
    return keepAlive ? Persistence::KeepAlive : Persistence::Close;
}

} // namespace

// Answers each request read whole: the metrics for GET and HEAD /metrics,
// an error for the rest.
class Endpoint : public QAbstractHttpServer {
public:
    Endpoint(BoundedTcpServer& tcp, const MetricsServer::Source& source, const MetricsServer::PiecewiseSource& pieces)
        : m_tcp(tcp), m_source(source), m_pieces(pieces) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        // Qt HTTP Server goes on to missingHandler() after a WebSocket
        // upgrade request whatever this answers: leave it that one answer.
        if (!request.value("Upgrade").isEmpty())
            return false;
        const std::optional<QByteArray> raw = m_tcp.takeRequest(socket);
        if (!raw)
            return true;
        const bool head = request.method() == QHttpServerRequest::Method::Head;
        Persistence after = persistence(request, *raw);
        Headers headers;
        Status status = Status::Ok;
        if (badContentLength(request)) {
            status = Status::BadRequest;
            after = Persistence::Close;
        } else if (request.url().path() != QLatin1String("/metrics")) {
            status = Status::NotFound;
        } else if (request.method() != QHttpServerRequest::Method::Get && !head) {
            status = Status::MethodNotAllowed;
            headers.emplace_back("Allow", "GET, HEAD");
        } else if (!request.body().isEmpty()) {
            status = Status::PayloadTooLarge;
        }
        if (after == Persistence::Close)
            headers.emplace_back("Connection", "close");
        else if (after == Persistence::KeepAlive)
            headers.emplace_back("Connection", "keep-alive");

        // The metrics are read when the answer's turn comes, not before.
        m_tcp.answer(
            socket,
            [this, status, headers, head]() -> BoundedTcpServer::Reply {
                if (status != Status::Ok)
                    return answerText(status, headers, {}, !head);
                const Headers all = Headers{{"Content-Type", "text/plain; version=0.0.4; charset=utf-8"}} + headers;
                if (!m_pieces)
                    return answerText(status, all, m_source(), !head);
                MetricsServer::Body body = m_pieces();
                QByteArray text = answerHead(status, all, body.size);
                if (head)
                    return text;
                return {std::move(text), std::move(body.next)};
            },
            after == Persistence::Close);
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override {
        if (m_tcp.takeRequest(socket))
            m_tcp.answer(
                socket, [] { return answerText(Status::NotFound, {}, {}, true); }, false);
    }

private:
    BoundedTcpServer& m_tcp;
    const MetricsServer::Source& m_source;
    const MetricsServer::PiecewiseSource& m_pieces;
};

MetricsServer::MetricsServer(Source source, ConnectionLimits limits, QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_limits(limits) {}

MetricsServer::MetricsServer(PiecewiseSource source, ConnectionLimits limits, QObject* parent)
    : QObject(parent), m_pieces(std::move(source)), m_limits(limits) {}

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
    m_endpoint = std::make_unique<Endpoint>(*m_tcp, m_source, m_pieces);
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
