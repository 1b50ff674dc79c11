#include "metrics/MetricsServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

using metrics::MetricsServer;

namespace {

constexpr int kDeadlineMs = 1500;
const QByteArray kGet = "GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n";

// A client in the test's own event loop: sends once connected, gathers what
// comes back unless told not to read.
class Client {
public:
    Client(quint16 port, QByteArray request = {}, bool reading = true) : m_pending(std::move(request)) {
        QObject::connect(&m_socket, &QTcpSocket::connected, [this] { send({}); });
        if (reading)
            QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { m_received += m_socket.readAll(); });
        else
            m_socket.setReadBufferSize(1024);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    void send(const QByteArray& bytes) {
        m_pending += bytes;
        if (m_socket.state() == QAbstractSocket::ConnectedState)
            m_socket.write(std::exchange(m_pending, {}));
    }
    bool closed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    const QByteArray& received() const { return m_received; }

    // The status of the next whole answer, kept in `answer`; 0 when the
    // connection closes first. The answer to a HEAD has no body.
    int waitForAnswer(bool head = false) {
        int status = 0;
        (void)QTest::qWaitFor([&] { return (status = takeAnswer(head)) != 0 || closed(); }, 3000);
        return status;
    }
    QByteArray answer;

private:
    int takeAnswer(bool head) {
        static const QRegularExpression length(QStringLiteral("\r\ncontent-length: *(\\d+)\r\n"),
                                               QRegularExpression::CaseInsensitiveOption);
        const qsizetype end = m_received.indexOf("\r\n\r\n") + 4;
        const qsizetype size =
            end + (head ? 0 : length.match(QString::fromLatin1(m_received.left(end))).captured(1).toInt());
        if (end < 4 || m_received.size() < size)
            return 0;
        answer = m_received.left(size);
        m_received.remove(0, size);
        return answer.mid(9, 3).toInt();
    }

    QTcpSocket m_socket;
    QByteArray m_pending;
    QByteArray m_received;
};

} // namespace

class TestMetricsServer : public QObject {
    Q_OBJECT
    int m_scrapes = 0;
    int m_padding = 0;
    MetricsServer m_server{[this] { return "scrape " + QByteArray::number(++m_scrapes) + QByteArray(m_padding, '#'); },
                           {8 * 1024, kDeadlineMs, 64}};
    quint16 m_port = 0;

    int statusOf(const QByteArray& request, QByteArray* answer = nullptr) {
        Client client(m_port, request);
        const int status = client.waitForAnswer();
        if (answer)
            *answer = client.answer.toLower();
        return status;
    }

private slots:
    void initTestCase() {
        QVERIFY2(m_server.listen({QHostAddress(QHostAddress::LocalHost), 0}), qPrintable(m_server.errorString()));
        m_port = m_server.port();
    }

    void listenAddresses() {
        QString error;
        const std::pair<const char*, const char*> accepted[] = {
            {"9100", "127.0.0.1:9100"}, {" 0.0.0.0:65535 ", "0.0.0.0:65535"}, {"[::1]:1", "[::1]:1"}};
        for (const auto& [text, expected] : accepted)
            QCOMPARE(
                metrics::formatListenAddress(
                    metrics::parseListenAddress(QString::fromUtf8(text), &error).value_or(metrics::ListenAddress{})),
                QString::fromUtf8(expected));
        const char* rejected[] = {
            "",         "0",          "65536",   "+80",     "1.2.3.4:",       ":9100",         "::1:9100",
            "1.2.3:80", "127.1:9100", "[::1:80", "[::1]80", "[127.0.0.1]:80", "localhost:9100"};
        for (const char* text : rejected) {
            QVERIFY2(!metrics::parseListenAddress(QString::fromUtf8(text), &error), text);
            QVERIFY2(error.contains(u'\'' + QString::fromUtf8(text) + u'\''), qPrintable(error));
        }

        MetricsServer second([] { return QByteArray(); });
        QVERIFY(!second.listen({QHostAddress(QHostAddress::LocalHost), m_port}));
        QVERIFY2(second.errorString().contains(QStringLiteral("127.0.0.1:%1: ").arg(m_port)) &&
                     second.errorString().contains(QStringLiteral("in use")),
                 qPrintable(second.errorString()));
    }

    void answersMetricsOnlyToGet() {
        QByteArray answer;
        QCOMPARE(statusOf(kGet, &answer), 200);
        QVERIFY2(answer.contains("content-type: text/plain; version=0.0.4; charset=utf-8\r\n"), answer);
        QVERIFY2(answer.endsWith("\r\n\r\nscrape 1"), answer);
        QCOMPARE(statusOf("GET /metrics/x HTTP/1.1\r\n\r\n"), 404);
        QCOMPARE(statusOf("POST /metrics HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi", &answer), 405);
        QVERIFY2(answer.contains("\r\nallow: get, head\r\n"), answer);
        QCOMPARE(statusOf("GET /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"), 413);

        // Qt would answer a WebSocket upgrade a second time after us.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("WebSocket")));
        Client upgrade(m_port, "GET /metrics HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n");
        QCOMPARE(upgrade.waitForAnswer(), 404);
        QTest::qWait(100);
        QCOMPARE(upgrade.received(), QByteArray());
        QCOMPARE(m_scrapes, 1);
    }

    // A body given in pieces, far larger than the kernel's buffers: each
    // answer whole and in order on one connection, HEAD with the length
    // only, and the connection closed after the last as asked.
    void piecewiseBodyGoesOutWholeInOrder() {
        constexpr int kPieces = 100;
        constexpr int kPieceBytes = 64 * 1024;
        int made = 0;
        MetricsServer server(MetricsServer::PiecewiseSource([&made] {
            auto next = std::make_shared<int>(0);
            return MetricsServer::Body{qint64{kPieces} * kPieceBytes, [next, &made] {
                                           if (*next == kPieces)
                                               return QByteArray();
                                           ++made;
                                           return QByteArray(kPieceBytes, static_cast<char>('a' + (*next)++ % 26));
                                       }};
        }));
        QVERIFY(server.listen({QHostAddress(QHostAddress::LocalHost), 0}));
        Client client(server.port(),
                      kGet + "HEAD /metrics HTTP/1.1\r\n\r\n" + "GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n");
        QByteArray body;
        for (int i = 0; i < kPieces; ++i)
            body += QByteArray(kPieceBytes, static_cast<char>('a' + i % 26));
        const auto bodyOf = [](const QByteArray& answer) { return answer.mid(answer.indexOf("\r\n\r\n") + 4); };
        QCOMPARE(client.waitForAnswer(), 200);
        QVERIFY(bodyOf(client.answer) == body);
        QCOMPARE(client.waitForAnswer(true), 200);
        QVERIFY2(client.answer.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"),
                 client.answer.left(300));
        QCOMPARE(bodyOf(client.answer), QByteArray());
        QCOMPARE(client.waitForAnswer(), 200);
        QVERIFY(bodyOf(client.answer) == body);
        QVERIFY(client.answer.contains("Connection: close\r\n"));
        QVERIFY(QTest::qWaitFor([&] { return client.closed(); }, 3000));
        QCOMPARE(made, 2 * kPieces); // none for HEAD
    }

    // HEAD gets GET's headers, the length of the body included, but no body:
    // the next answer on the connection follows straight after.
    void headAnswersAsGetWithoutBody() {
        Client client(m_port, "HEAD /metrics HTTP/1.1\r\n\r\n");
        QCOMPARE(client.waitForAnswer(true), 200);
        const QByteArray body = "scrape " + QByteArray::number(m_scrapes);
        QVERIFY2(client.answer.contains("\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"),
                 client.answer);
        QVERIFY2(client.answer.endsWith("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"),
                 client.answer);
        client.send("HEAD /elsewhere HTTP/1.1\r\n\r\n" + kGet);
        QCOMPARE(client.waitForAnswer(true), 404);
        QCOMPARE(client.waitForAnswer(), 200);
        QVERIFY2(client.answer.endsWith("\r\n\r\nscrape " + QByteArray::number(m_scrapes)), client.answer);
        QVERIFY(client.received().isEmpty());
    }

    // Requests sent in one go are answered in order, each answer made when
    // the one before has gone out, however large.
    void answersBackToBackRequestsInOrder() {
        m_padding = 64 * 1024;
        const auto unpad = qScopeGuard([this] { m_padding = 0; });
        Client client(m_port, kGet + "HEAD /metrics HTTP/1.1\r\n\r\nGET /x HTTP/1.1\r\n\r\n" + kGet);
        const int first = m_scrapes + 1;
        QCOMPARE(client.waitForAnswer(), 200);
        QVERIFY(client.answer.contains("\r\n\r\nscrape " + QByteArray::number(first) + "#"));
        QCOMPARE(client.waitForAnswer(true), 200);
        const qsizetype length = ("scrape " + QByteArray::number(first + 1)).size() + m_padding;
        QVERIFY(client.answer.contains("\r\nContent-Length: " + QByteArray::number(length) + "\r\n"));
        QCOMPARE(client.waitForAnswer(), 404);
        QCOMPARE(client.waitForAnswer(), 200);
        QVERIFY(client.answer.contains("\r\n\r\nscrape " + QByteArray::number(first + 2) + "#"));
        QVERIFY(!client.closed());
    }

    // "Connection: close", or HTTP/1.0 without keep-alive: the answer says
    // so and the connection closes after it, long before the deadline;
    // requests sent after it go unanswered.
    void closesAfterTheAnswerWhenAsked() {
        const QByteArray closing[] = {"GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n",
                                      "GET /metrics HTTP/1.1\r\nConnection: TE, Close\r\n\r\n",
                                      "GET /metrics HTTP/1.0\r\n\r\n", "\r\nPOST /x HTTP/1.0\r\n\r\n"};
        for (const QByteArray& request : closing) {
            Client client(m_port, kGet + request + kGet);
            QCOMPARE(client.waitForAnswer(), 200);
            QVERIFY(client.waitForAnswer() != 0);
            QVERIFY2(client.answer.contains("\r\nConnection: close\r\n"), request);
            QTRY_VERIFY_WITH_TIMEOUT(client.closed(), kDeadlineMs / 3);
            QVERIFY2(client.received().isEmpty(), request);
        }

        Client client(m_port, "GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
        QCOMPARE(client.waitForAnswer(), 200);
        QVERIFY2(client.answer.contains("\r\nConnection: keep-alive\r\n"), client.answer);
        QTest::qWait(kDeadlineMs / 3);
        client.send(kGet);
        QCOMPARE(client.waitForAnswer(), 200);
    }

    // A Content-Length Qt's parser would misread (it takes a bad one for
    // none) is a 400 that ends the connection, before any body is read as
    // the next request.
    void rejectsMalformedContentLength() {
        const char* lengths[] = {"-5", "99999999999999999999", "+5", "0x10", "5, 5", "1\r\nContent-Length: 2"};
        for (const char* length : lengths) {
            Client client(m_port, "GET /metrics HTTP/1.1\r\nContent-Length: " + QByteArray(length) +
                                      "\r\n\r\nGET /metrics HTTP/1.1\r\n\r\n");
            QCOMPARE(client.waitForAnswer(), 400);
            QVERIFY2(client.answer.contains("\r\nConnection: close\r\n"), length);
            QTRY_VERIFY_WITH_TIMEOUT(client.closed(), kDeadlineMs / 3);
            QVERIFY2(client.received().isEmpty(), length);
        }
        QCOMPARE(statusOf("GET /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n"), 200);
    }

    // Budget and deadline are per request: a kept-alive connection may send
    // more than 8 KiB and outlive the deadline, one timely request at a time.
    void keptAliveConnectionStartsAfreshEachRequest() {
        Client client(m_port);
        for (int i = 0; i < 4; ++i) {
            client.send("GET /metrics HTTP/1.1\r\nX-Pad: " + QByteArray(3000, 'p') + "\r\n\r\n");
            QCOMPARE(client.waitForAnswer(), 200);
            QTest::qWait(kDeadlineMs * 2 / 3);
        }
        QVERIFY(!client.closed());
        QTRY_VERIFY_WITH_TIMEOUT(client.closed(), kDeadlineMs);
    }

    // A client that sends requests but does not take the answers is cut off
    // once they pile up past the kernel's buffers: the next answers are not
    // even made. It cannot see that without reading, but the server can.
    void answersDoNotPileUp() {
        QTRY_COMPARE(m_server.connectionCount(), 0);
        const int before = m_scrapes;
        m_padding = 1 << 20;
        Client deaf(m_port, kGet.repeated(40), false);
        QTRY_VERIFY(m_scrapes > before);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.connectionCount(), 0, kDeadlineMs + 1000);
        m_padding = 0;
        QVERIFY2(m_scrapes - before < 20, qPrintable(QString::number(m_scrapes - before)));
    }

    // Idle clients replaced as soon as they are closed keep every place
    // taken; a scraper takes that of the one idle longest.
    void idleClientsGiveWayToScrapers() {
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 100; ++i) {
            idle.push_back(std::make_unique<Client>(m_port));
            if (i % 25 == 24)
                QTest::qWait(20);
        }
        QTimer reconnect;
        QObject::connect(&reconnect, &QTimer::timeout, [&] {
            for (auto& client : idle)
                if (client->closed())
                    client = std::make_unique<Client>(m_port);
        });
        reconnect.start(5);
        QTRY_COMPARE(m_server.connectionCount(), 64);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(statusOf(kGet), 200);
            QVERIFY(m_server.connectionCount() <= 64);
        }
        reconnect.stop();
        idle.clear();
        QTRY_COMPARE(m_server.connectionCount(), 0);
    }

    // Idle, slow, oversized and garbage clients: each is closed in time, the
    // server goes on answering and the event loop never stalls.
    void hostileClientsNeverHoldTheServer() {
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        sinceTick.start();
        ticker.start(10);

        // 200 idle connections: the last 64 kept until the deadline, each
        // earlier one closed as a newer one takes its place. Batches stay
        // within the listen backlog.
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 200; ++i) {
            idle.push_back(std::make_unique<Client>(m_port));
            if (i % 25 == 24)
                QTest::qWait(20);
        }
        const auto closed = [&] {
            return std::count_if(idle.begin(), idle.end(), [](auto& c) { return c->closed(); });
        };
        QTRY_COMPARE_WITH_TIMEOUT(closed(), 136, 1000);
        QCOMPARE(m_server.connectionCount(), 64);
        QTRY_COMPARE_WITH_TIMEOUT(closed(), 200, kDeadlineMs + 1000);

        Client garbage(m_port, "NOT HTTP AT ALL\r\n\r\n");
        Client huge(m_port, "GET /metrics HTTP/1.1\r\nX-Big: " + QByteArray(1 << 20, 'a'));
        Client slow(m_port, "GET /metrics HTTP/1.1\r\n");
        QTimer drip;
        QObject::connect(&drip, &QTimer::timeout, [&] { slow.send("X"); });
        drip.start(1000);

        QTest::qWait(100);
        QElapsedTimer scrape;
        scrape.start();
        QCOMPARE(statusOf(kGet), 200);
        QVERIFY2(scrape.elapsed() < 300, qPrintable(QString::number(scrape.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(garbage.closed() && huge.closed(), 1000);
        QVERIFY(huge.received().isEmpty() || huge.received().startsWith("HTTP/1.1 431 "));
        QVERIFY(!slow.closed());
        QTRY_VERIFY_WITH_TIMEOUT(slow.closed(), kDeadlineMs);
        QTRY_COMPARE(m_server.connectionCount(), 0);
        QVERIFY2(longestGap < 200, qPrintable(QString::number(longestGap)));
    }
};

QTEST_GUILESS_MAIN(TestMetricsServer)
#include "TestMetricsServer.moc"
