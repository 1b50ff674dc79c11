#include "log/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// The log on disk: appending, and trimming from the front to nine tenths of
// the limit, with whole lines only.
class TestLogFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

    QByteArray contents() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeRaw(const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private slots:
    void init() { path = dir.filePath(QStringLiteral("Connect %1.log").arg(QTest::currentTestFunction())); }

    void appendCreatesAndAppendsWithCrLf() {
        QCOMPARE(logfile::Size(path), qint64(-1));
        QVERIFY(logfile::Append(path, QStringLiteral("first")));
        QVERIFY(logfile::Append(path, QStringLiteral("zweite Zeile \u00e4")));
        QCOMPARE(contents(), QByteArray("first\r\nzweite Zeile \xc3\xa4\r\n"));
        QCOMPARE(logfile::Size(path), qint64(contents().size()));
    }

    void appendToAMissingFolderLosesTheLine() {
        QVERIFY(!logfile::Append(dir.filePath(QStringLiteral("no/such/folder/Connect.log")), QStringLiteral("x")));
        QVERIFY(!logfile::Append(dir.path(), QStringLiteral("x"))); // a folder, not a file
        QCOMPARE(logfile::Size(dir.path()), qint64(-1));
    }

    void trimKeepsNineTenths_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("kept");
        // 100-byte lines (98 characters and CR LF).
        QTest::newRow("30721 bytes to at most 27648") << 308 << 30720 << 276;
        QTest::newRow("limit 0 empties the file") << 5 << 0 << 0;
    }
    void trimKeepsNineTenths() {
        QFETCH(int, lines);
        QFETCH(int, limit);
        QFETCH(int, kept);
        QByteArray text;
        for (int i = 0; i < lines; ++i)
            text += QByteArray::number(i).rightJustified(98, '.') + "\r\n";
        writeRaw(text);
        QVERIFY(logfile::Trim(path, limit) == logfile::TrimResult::Done);
        const QByteArray after = contents();
        QCOMPARE(after.size(), kept * 100);
        QVERIFY(after.size() <= 0.9 * limit + 0.0001);
        QVERIFY(text.endsWith(after)); // the newest lines, unchanged
    }

    void exactlyNineTenthsStays() {
        QByteArray text;
        for (int i = 0; i < 276; ++i)
            text += QByteArray::number(i).rightJustified(98, '.') + "\r\n";
        text += QByteArray(46, 'x') + "\r\n"; // 27648 bytes in all
        writeRaw(text);
        QVERIFY(logfile::Trim(path, 30720) == logfile::TrimResult::Done);
        QCOMPARE(contents(), text);
        writeRaw(text + "y\r\n");
        QVERIFY(logfile::Trim(path, 30720) == logfile::TrimResult::Done);
        QCOMPARE(contents(), text.mid(100) + "y\r\n");
    }

    void trimWritesMixedLineEndsBackWithCrLf() {
        writeRaw(QByteArray("one\ntwo\rthree\r\nfour\n\nsix"));
        QVERIFY(logfile::Trim(path, 1000) == logfile::TrimResult::Done);
        QCOMPARE(contents(), QByteArray("one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n"));
    }

    void nulEndsTheText() {
        writeRaw(QByteArray("one\r\ntw\0o\r\nthree\r\n", 19));
        QVERIFY(logfile::Trim(path, 1000) == logfile::TrimResult::Done);
        QCOMPARE(contents(), QByteArray("one\r\ntw\r\n"));
    }

    void unreadableLogIsReported() {
        QVERIFY(logfile::Trim(dir.filePath(QStringLiteral("missing.log")), 10) == logfile::TrimResult::CannotOpen);
    }

    // A disk that fills up while the kept lines are written leaves the log as
    // it was.
    void failedRewriteKeepsTheLog() {
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += QByteArray::number(i).rightJustified(98, '-') + "\r\n";
        writeRaw(text);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 1000;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const logfile::TrimResult result = logfile::Trim(path, 10000);
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(int(result), int(logfile::TrimResult::CannotCreate));
        QCOMPARE(contents(), text);
        // No temporary file is left beside the log.
        QCOMPARE(QDir(dir.path()).entryList({QFileInfo(path).fileName() + u'*'}, QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "TestLogFile.moc"
