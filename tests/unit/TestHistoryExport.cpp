#include "history/HistoryExport.h"

#include <QBuffer>
#include <QTest>

// The echoes' export, byte for byte: CSV and JSON lines of a known range.
class TestHistoryExport : public QObject {
    Q_OBJECT

    // A history of given echoes, each with its own clock.
    struct Given : IHistorySource {
        QList<EchoSample> echoes;
        QList<HistoryHost> hosts() override { return {}; }
        QList<HistoryBucket> buckets(const QString&, qint64, qint64, int) override { return {}; }
        void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                         const std::function<bool(const EchoSample&)>& take) override {
            for (const EchoSample& e : echoes)
                if (e.host == host && e.sent.wall.toMSecsSinceEpoch() >= fromMs &&
                    e.sent.wall.toMSecsSinceEpoch() < toMs && !take(e))
                    return;
        }
    };

    static EchoSample echo(const char* sent, const char* host, const char* address, EchoSample::Outcome outcome,
                           std::uint32_t status, std::int64_t us, int ttl) {
        EchoSample e;
        e.sent.wall = QDateTime::fromString(QString::fromLatin1(sent), Qt::ISODateWithMs);
        e.host = QString::fromUtf8(host);
        e.address = *IpAddress::parse(address);
        e.outcome = outcome;
        e.status = status;
        e.roundTripMicros = us;
        e.ttl = ttl;
        return e;
    }

    Given given;
    qint64 from = 0;
    qint64 to = 0;

    QByteArray written(const QString& host, history::ExportFormat format, qint64* count = nullptr) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const history::ExportResult result = history::exportEchoes(given, host, from, to, format, buffer);
        if (count)
            *count = result.echoes;
        return result.ok ? buffer.data() : QByteArray("(failed)");
    }

private slots:
    void initTestCase() {
        using O = EchoSample::Outcome;
        const char* host = "büro,\"gw\"";
        given.echoes = {
            echo("2026-10-25T02:59:59.999+02:00", host, "192.0.2.1", O::Answered, 0, 999, 64), // before the range
            echo("2026-10-25T02:00:00.250+01:00", host, "192.0.2.1", O::Answered, 0, 14250, 57),
            echo("2026-10-25T02:00:01.250+01:00", host, "192.0.2.1", O::TimedOut, 11010, -1, -1),
            echo("2026-10-25T01:00:02.250Z", host, "2001:db8::7", O::Error, 11003, -1, -1),
            echo("2026-10-25T02:00:03.000+01:00", "other", "192.0.2.9", O::Answered, 0, 1000, 60),
            echo("2026-10-25T02:00:04.000+01:00", host, "192.0.2.1", O::Answered, 0, 1, 1), // the range's end
        };
        from = QDateTime::fromString(QStringLiteral("2026-10-25T01:00:00Z"), Qt::ISODate).toMSecsSinceEpoch();
        to = from + 4000;
    }

    void csvQuotesWhatNeedsItAndEndsLinesWithCrLf() {
        qint64 count = 0;
        QCOMPARE(
            written(QStringLiteral("büro,\"gw\""), history::ExportFormat::Csv, &count),
            QByteArray("sent,host,address,outcome,status,round_trip_ms,ttl\r\n"
                       "2026-10-25T02:00:00.250+01:00,\"büro,\"\"gw\"\"\",192.0.2.1,answered,No error,14.250,57\r\n"
                       "2026-10-25T02:00:01.250+01:00,\"büro,\"\"gw\"\"\",192.0.2.1,timed out,Request timed out,,\r\n"
                       "2026-10-25T01:00:02.250+00:00,\"büro,\"\"gw\"\"\",2001:db8::7,error,"
                       "Destination host unreachable,,\r\n"));
        QCOMPARE(count, 3);
        // A host without echoes in the range: the header alone.
        QCOMPARE(written(QStringLiteral("nobody"), history::ExportFormat::Csv),
                 QByteArray("sent,host,address,outcome,status,round_trip_ms,ttl\r\n"));
    }

    void jsonLinesHaveTheSameFields() {
        QCOMPARE(written(QStringLiteral("other"), history::ExportFormat::JsonLines),
                 QByteArray("{\"sent\":\"2026-10-25T02:00:03.000+01:00\",\"host\":\"other\",\"address\":\"192.0.2.9\","
                            "\"outcome\":\"answered\",\"status\":\"No error\",\"round_trip_ms\":1.000,\"ttl\":60}\n"));
        const QList<QByteArray> lines =
            written(QStringLiteral("büro,\"gw\""), history::ExportFormat::JsonLines).split('\n');
        QCOMPARE(lines.size(), 4); // three and the last line's end
        QCOMPARE(lines[1],
                 QByteArray("{\"sent\":\"2026-10-25T02:00:01.250+01:00\",\"host\":\"büro,\\\"gw\\\"\","
                            "\"address\":\"192.0.2.1\",\"outcome\":\"timed out\",\"status\":\"Request timed out\","
                            "\"round_trip_ms\":null,\"ttl\":null}"));
    }

    void aFailedWriteStopsAndSaysWhy() {
        QBuffer buffer;
        buffer.open(QIODevice::ReadOnly);
        const history::ExportResult result =
            history::exportEchoes(given, QStringLiteral("other"), from, to, history::ExportFormat::JsonLines, buffer);
        QVERIFY(!result.ok);
        QCOMPARE(result.echoes, 0);
        QVERIFY(!result.error.isEmpty());
    }

    void theFileNameTellsTheFormat() {
        QCOMPARE(history::formatForFile(QStringLiteral("/tmp/a.JSONL")), history::ExportFormat::JsonLines);
        QCOMPARE(history::formatForFile(QStringLiteral("/tmp/a.ndjson")), history::ExportFormat::JsonLines);
        QCOMPARE(history::formatForFile(QStringLiteral("/tmp/a.csv")), history::ExportFormat::Csv);
        QCOMPARE(history::formatForFile(QStringLiteral("/tmp/a.txt")), history::ExportFormat::Csv);
    }
};

QTEST_GUILESS_MAIN(TestHistoryExport)
#include "TestHistoryExport.moc"
