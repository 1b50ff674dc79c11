#include "ledger/HostState.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerTotals.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Failure = LedgerFile::Failure;

// The outage ledger on disk: its CSV, stray quotes, a torn last line,
// failures; and the totals over its rows.
class TestLedgerFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

    static QDateTime at(int hour, int minute, int second = 0, int ms = 0, int offset = 3600) {
        return QDateTime(QDate(2026, 12, 8), QTime(hour, minute, second, ms), QTimeZone(offset));
    }
    static LedgerRow row(const QDateTime& start, const QDateTime& end, const QString& cause = QString(),
                         LedgerRow::Kind kind = LedgerRow::Kind::Outage) {
        LedgerRow r;
        r.kind = kind;
        r.start = start;
        r.end = end;
        r.durationMs = start.msecsTo(end);
        r.host = QStringLiteral("router.lan");
        r.cause = cause;
        return r;
    }
    QByteArray contents() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeRaw(const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray line(const LedgerRow& r) { return LedgerFile::formatLine(r).toUtf8() + "\r\n"; }
    static QByteArray head() { return LedgerFile::header().toUtf8() + "\r\n"; }
    // The action's failure, as nobody when running as root, who may write anywhere.
    static Failure asNobody(const std::function<LedgerFile::Outcome()>& action) {
        if (geteuid() != 0)
            return action().failure;
        const pid_t child = fork();
        if (child == 0)
            _exit(setgid(65534) == 0 && setuid(65534) == 0 ? static_cast<int>(action().failure) : 100);
        int status = -1;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? static_cast<Failure>(WEXITSTATUS(status)) : Failure::Other;
    }

private slots:
    void init() { path = dir.filePath(QStringLiteral("Outages %1.csv").arg(QTest::currentTestFunction())); }

    void rowsRoundTripThroughTheFile() {
        LedgerRow odd = row(at(13, 4, 5, 123), at(13, 4, 10, 135), cause::LocalNetwork);
        odd.address = QStringLiteral("192.0.2.1");
        odd.echoesLost = 7;
        odd.firstStatus = QStringLiteral("Timed out, \"no reply\"");
        odd.causesSeen = {cause::LocalNetwork, cause::BeyondGateway};
        odd.interface = QStringLiteral("wl\u00e4n0");
        odd.note = QStringLiteral("line one, line two");
        QCOMPARE(LedgerFile::formatLine(odd),
                 QStringLiteral("outage,2026-12-08T13:04:05.123+01:00,2026-12-08T13:04:10.135+01:00,5.012,router.lan,"
                                "192.0.2.1,7,\"Timed out, \"\"no reply\"\"\",Local network,Local network; Beyond the "
                                "gateway,,wl\u00e4n0,\"line one, line two\""));
        const LedgerRow gap = row(at(0, 0, 0, 0, 0), at(0, 0, 1, 5, 0), QString(), LedgerRow::Kind::Gap);
        QVERIFY(LedgerFile::formatLine(gap).startsWith(QStringLiteral("gap,2026-12-08T00:00:00.000+00:00,")));
        LedgerFile ledger(path);
        QVERIFY(ledger.append(odd) && ledger.append(gap));
        QCOMPARE(contents(), head() + line(odd) + line(gap));
        const QList<LedgerRow> rows = LedgerFile::read(path);
        QCOMPARE(rows, (QList<LedgerRow>{odd, gap}));
        QCOMPARE(rows[0].start.offsetFromUtc(), 3600);
        QCOMPARE(LedgerFile::ledgerPath(QStringLiteral("/var/log/lv/Connect.log")),
                 QStringLiteral("/var/log/lv/Outages.csv"));
        QCOMPARE(LedgerFile::ledgerPath(QStringLiteral("Connect.log")), QStringLiteral("Outages.csv"));
    }

    // A traced outage has two more columns, where its path ended; rows
    // without them keep the thirteen that earlier readers count on.
    void tracedRowsAddTheLastHop() {
        LedgerRow traced = row(at(13, 0), at(13, 1), cause::BeyondGateway);
        traced.lastHop = QStringLiteral("10.81.2.2");
        traced.lastHopNumber = 2;
        const QString text = LedgerFile::formatLine(traced);
        QVERIFY2(text.endsWith(QStringLiteral(",,10.81.2.2,2")), qPrintable(text));
        const LedgerRow plain = row(at(14, 0), at(14, 1), cause::BeyondGateway);
        QCOMPARE(LedgerFile::formatLine(plain).count(u','), 12);
        QString badNumber = text;
        badNumber.chop(1);
        writeRaw(head() + line(traced) + line(plain) + badNumber.toUtf8() + "0\r\n" + badNumber.toUtf8() + "x\r\n");
        QCOMPARE(LedgerFile::read(path), (QList<LedgerRow>{traced, plain}));
    }

    void malformedLinesAreSkipped() {
        const QString good = LedgerFile::formatLine(row(at(10, 0), at(10, 1)));
        QVERIFY(LedgerFile::parseLine(good));
        QVERIFY(!LedgerFile::parseLine(LedgerFile::header()));
        QVERIFY(!LedgerFile::parseLine(good + u','));                                         // 14 fields
        QVERIFY(!LedgerFile::parseLine(QString(good).replace(0, 6, QStringLiteral("gaps")))); // kind
        QVERIFY(!LedgerFile::parseLine(QString(good).replace(7, 4, QStringLiteral("20x6")))); // start
        QVERIFY(!LedgerFile::parseLine(QString(good).replace(u',', QStringLiteral(",\"\"x"))));
        // Durations out of all measure, negative ones and negative echo counts are no rows.
        for (const char* duration : {"1e300", "9223372036854775807", "-1.000", "nan", "inf"})
            QVERIFY2(!LedgerFile::parseLine(
                         QString(good).replace(QStringLiteral(",60.000,"), QStringLiteral(",%1,").arg(duration))),
                     duration);
        QVERIFY(!LedgerFile::parseLine(
            QString(good).replace(QStringLiteral(",router.lan,,0,"), QStringLiteral(",router.lan,,-3,"))));
        // A stray quote inside a field is a character, not the start of a quoted field.
        writeRaw(head() + "outage,2026-12-08T10:00:00.000+01:00,,1.000,say \"hi,,0,,,,,,\r\n\r\n" + good.toUtf8() +
                 "\r\n");
        QCOMPARE(LedgerFile::read(path).size(), 2);
        QCOMPARE(LedgerFile::read(path).at(0).host, QStringLiteral("say \"hi"));
        // Line ends inside a field are written as blanks: one row, one line.
        LedgerRow noted = row(at(10, 0), at(10, 1));
        noted.note = QStringLiteral("two\r\nlines");
        QVERIFY(!LedgerFile::formatLine(noted).contains(u'\n'));
        QCOMPARE(LedgerFile::parseLine(LedgerFile::formatLine(noted))->note, QStringLiteral("two  lines"));
    }

    // A quote opened and never closed spoils its own line only, however much
    // follows it: neither reading nor the repair before an append loses the
    // rows after it.
    void strayQuoteHidesNoRows() {
        for (const int after : {40, 400}) { // under and over the longest row's worth of bytes after it
            QByteArray bytes = head();
            for (int i = 0; i < 3; ++i)
                bytes += line(row(at(8, i), at(8, i, 30)));
            bytes += "outage,2026-12-08T09:00:00.000+01:00,,1.000,router.lan,,0,,,,,,\"oops, never closed\r\n";
            for (int i = 0; i < after; ++i)
                bytes += line(row(at(10, i % 60, i / 60), at(10, i % 60, i / 60 + 1)));
            writeRaw(bytes);
            LedgerFile::ReadStats stats;
            QCOMPARE(LedgerFile::read(path, &stats).size(), 3 + after);
            QCOMPARE(stats.malformed, 1);
            QCOMPARE(stats.firstMalformedLine, 5);
            QVERIFY(stats.note(path).contains(QStringLiteral("1 malformed row of ")));
            QVERIFY(LedgerFile(path).append(row(at(12, 0), at(12, 1))));
            QCOMPARE(contents().size(), bytes.size() + line(row(at(12, 0), at(12, 1))).size());
            QCOMPARE(LedgerFile::read(path).size(), 4 + after);
        }
        // Files of earlier versions may hold a line end inside a quoted field;
        // a line longer than any row is skipped without hiding the next.
        writeRaw(head() + "gap,2026-12-08T09:00:00.000+01:00,,1.000,router.lan,,0,,,,,,\"a\r\nnote\"\r\n" +
                 QByteArray(40000, 'x') + "\r\n" + line(row(at(11, 0), at(11, 1))));
        LedgerFile::ReadStats stats;
        const QList<LedgerRow> rows = LedgerFile::read(path, &stats);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].note, QStringLiteral("a\r\nnote"));
        QCOMPARE(stats.malformed, 1);
    }

    // Wherever a crash cut the last row, it is dropped before the next one,
    // and nothing before it.
    void tornLastRowIsCutBack() {
        LedgerRow first = row(at(9, 0), at(9, 1));
        LedgerRow torn = row(at(10, 0), at(10, 2));
        torn.note = QStringLiteral("quoted, with a comma");
        const LedgerRow next = row(at(11, 0), at(11, 3));
        const QByteArray whole = head() + line(first) + line(torn);
        for (qsizetype cut = whole.size() - line(torn).size() + 1; cut < whole.size() - 1; ++cut) {
            path = dir.filePath(QStringLiteral("torn %1.csv").arg(cut)); // new files: rewriting one syncs on ext4
            writeRaw(whole.left(cut));
            QCOMPARE(LedgerFile::read(path), QList<LedgerRow>{first});
            QVERIFY(LedgerFile(path).repair());
            QCOMPARE(contents(), head() + line(first));
        }
        writeRaw(whole.chopped(3));
        QVERIFY(LedgerFile(path).append(next));
        QCOMPARE(contents(), head() + line(first) + line(next));
        // An unfinished last line far longer than any row is no torn row: it
        // is ended, not cut, and the next row starts on a line of its own.
        const QByteArray edited = head() + line(first) + "outage,\"oops" + QByteArray(40000, 'y');
        writeRaw(edited);
        QVERIFY(LedgerFile(path).append(next));
        QCOMPARE(contents(), edited + "\r\n" + line(next));
        QCOMPARE(LedgerFile::read(path), (QList<LedgerRow>{first, next}));
    }

    void failuresComeBackAsOutcomes() {
        QTemporaryDir top;
        const QString locked = top.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0555) == 0);
        const LedgerRow r = row(at(10, 0), at(10, 1));
        LedgerFile ledger(locked + QStringLiteral("/Outages.csv"));
        QCOMPARE(asNobody([&] { return ledger.append(r); }), Failure::NoPermission);
        QCOMPARE(asNobody([&] { return HostState(ledger.path(), QStringLiteral("h")).writeOpen(r); }),
                 Failure::NoPermission);
        ::chmod(QFile::encodeName(locked).constData(), 0755);
        QCOMPARE(LedgerFile(locked).append(r).failure, Failure::NotRegularFile);
        QCOMPARE(LedgerFile(top.filePath(QStringLiteral("no/Outages.csv"))).append(r).failure, Failure::MissingFolder);
        const QString fifo = top.filePath(QStringLiteral("fifo.csv"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QCOMPARE(LedgerFile(fifo).append(r).failure, Failure::NotRegularFile);
        QVERIFY(LedgerFile::read(fifo).isEmpty());
        QVERIFY(LedgerFile::describe(fifo, {Failure::NoSpace, ENOSPC}).contains(fifo));
    }

    // A disk that fills up in the middle of a row leaves the file as it was.
    void fullDiskWritesWholeRowsOrNone() {
        const LedgerRow r = row(at(10, 0), at(10, 1));
        QVERIFY(LedgerFile(path).append(r));
        const QByteArray before = contents();
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = static_cast<rlim_t>(before.size() + 10);
        setrlimit(RLIMIT_FSIZE, &small);
        const LedgerFile::Outcome full = LedgerFile(path).append(r);
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(full.failure, Failure::NoSpace);
        QCOMPARE(contents(), before);
    }

    void totalsClipOverlapsAndLeaveOutGaps() {
        const QString local = cause::LocalNetwork;
        const QString beyond = cause::BeyondGateway;
        const QList<LedgerRow> rows{
            row(at(9, 50), at(10, 5), local),    // 5 min inside the period
            row(at(10, 20), at(10, 30), beyond), // overlapped by the next from 10:25
            row(at(10, 25), at(10, 40), local),  // 10 min its own, the longest
            row(at(10, 45), at(10, 50), QString(), LedgerRow::Kind::Gap),
            row(at(10, 48), at(10, 55), QString(), LedgerRow::Kind::Gap),
            row(at(10, 53), at(10, 57), local), // 2 min after the gap
            row(at(10, 58), at(11, 10)),        // 2 min inside the period
            row(at(11, 30), at(11, 40), local), // after it
        };
        const ledger::Totals t = ledger::totals(rows, at(10, 0), at(11, 0));
        constexpr qint64 minute = 60000;
        QCOMPARE(t.gapMs, 10 * minute);
        QCOMPARE(t.watchedMs, 50 * minute);
        QCOMPARE(t.downMs, 29 * minute);
        QCOMPARE(t.availability, 21.0 / 50);
        QCOMPARE(t.outages, 5);
        QCOMPARE(t.longestMs, 15 * minute);
        QCOMPARE(t.downByCause,
                 (QMap<QString, qint64>{{local, 17 * minute}, {beyond, 10 * minute}, {QString(), 2 * minute}}));

        const ledger::Totals since = ledger::totals(rows, at(10, 0), at(11, 0), at(10, 10));
        QCOMPARE(since.watchedMs, 40 * minute);
        QCOMPARE(since.outages, 4);
        QCOMPARE(since.downMs, 24 * minute);
        QVERIFY(std::isnan(ledger::totals(rows, at(11, 0), at(11, 0)).availability));
    }
};

QTEST_GUILESS_MAIN(TestLedgerFile)
#include "TestLedgerFile.moc"
