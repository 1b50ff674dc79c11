#include "EchoOptions.h"

#include <QTest>

class TestEchoOptions : public QObject {
    Q_OBJECT
private slots:
    void defaultsAndValues() {
        QString error;
        auto o = parseEchoOptions({QStringLiteral("192.0.2.1")}, &error);
        QVERIFY(o);
        QCOMPARE(o->size, 56);
        QCOMPARE(o->timeout, 4000);
        QCOMPARE(o->count, 1);
        o = parseEchoOptions(QStringLiteral("--size 0 --ttl 300 --flags 2 --timeout $1F4 --count 3 --interval 0 "
                                            "--socket raw echo-host.test")
                                 .split(u' '),
                             &error);
        QVERIFY(o);
        QCOMPARE(o->size, 0);
        QCOMPARE(o->ttl, 300);
        QCOMPARE(o->flags, 2);
        QCOMPARE(o->timeout, 500);
        QCOMPARE(o->count, 3);
        QCOMPARE(o->interval, 0);
        QVERIFY(o->socket == SocketKind::Raw);
        QCOMPARE(o->host, QStringLiteral("echo-host.test"));
    }

    void badArguments_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("no host") << "--size 10";
        QTest::newRow("two hosts") << "a b";
        QTest::newRow("missing value") << "host --ttl";
        QTest::newRow("not a number") << "--size ten host";
        QTest::newRow("unknown option") << "--colour red host";
        QTest::newRow("unknown socket") << "--socket udp host";
        QTest::newRow("count 0") << "--count 0 host";
        QTest::newRow("negative interval") << "--interval -1 host";
    }
    void badArguments() {
        QFETCH(QString, line);
        QString error;
        QVERIFY(!parseEchoOptions(line.split(u' '), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEchoOptions)
#include "TestEchoOptions.moc"
