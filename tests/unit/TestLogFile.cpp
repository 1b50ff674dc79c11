#include "log/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    template <typename F> static auto withFileSizeLimit(rlim_t bytes, F action) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
        auto result = action();
        setrlimit(RLIMIT_FSIZE, &old);
        return result;
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

    // A line that a killed writer left cut, even between its CR and LF, is
    // ended before the next one.
    void appendEndsALineLeftCut() {
        for (const QByteArray& cut : {QByteArray("half a li"), QByteArray("whole but\r")}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(cut);
            file.close();
            QVERIFY(logfile::Append(path, QStringLiteral("next")));
            QCOMPARE(contents(), (cut.endsWith('\r') ? cut + "\n" : cut + "\r\n") + "next\r\n");
        }
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
        QVERIFY(logfile::Trim(path, limit));
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
        QVERIFY(logfile::Trim(path, 30720));
        QCOMPARE(contents(), text);
        writeRaw(text + "y\r\n");
        QVERIFY(logfile::Trim(path, 30720));
        QCOMPARE(contents(), text.mid(100) + "y\r\n");
    }

    // A trim keeps the log's owner, group and mode.
    void trimKeepsOwnerAndMode() {
        if (geteuid() != 0)
            QSKIP("SKIPPED LOUDLY: giving a file to another owner needs root (CI runs it)");
        writeRaw("one\r\ntwo\r\n");
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(::chown(name.constData(), 65534, 65534) == 0 && ::chmod(name.constData(), 0604) == 0);
        QVERIFY(logfile::Trim(path, 6));
        QCOMPARE(contents(), QByteArray("two\r\n"));
        struct stat st {};
        QVERIFY(::stat(name.constData(), &st) == 0);
        QCOMPARE(int(st.st_uid), 65534);
        QCOMPARE(int(st.st_gid), 65534);
        QCOMPARE(int(st.st_mode & 07777), 0604);
    }

    void trimWritesMixedLineEndsBackWithCrLf() {
        writeRaw(QByteArray("one\ntwo\rthree\r\nfour\n\nsix"));
        QVERIFY(logfile::Trim(path, 1000));
        QCOMPARE(contents(), QByteArray("one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n"));
    }

    // A NUL is a byte of its line: the lines after it are kept, the newest
    // first.
    void nulIsAByteOfItsLine() {
        const QByteArray text("one\r\ntw\0o\r\nthree\r\n", 18);
        writeRaw(text);
        QVERIFY(logfile::Trim(path, 1000));
        QCOMPARE(contents(), text);
        QVERIFY(logfile::Append(path, QStringLiteral("four")));
        QVERIFY(logfile::Trim(path, 20)); // room for 18 bytes: "three" and "four"
        QCOMPARE(contents(), QByteArray("three\r\nfour\r\n"));
    }

    // A last line without its line end is not glued to the next one.
    void newLineStartsOnALineOfItsOwn() {
        writeRaw("old");
        QVERIFY(logfile::Append(path, QStringLiteral("new")));
        QCOMPARE(contents(), QByteArray("old\r\nnew\r\n"));
    }

    void unreadableLogIsReported() {
        QVERIFY(logfile::Trim(dir.filePath(QStringLiteral("missing.log")), 10).failure == logfile::Failure::CannotOpen);
    }

    // Neither a FIFO nor a folder blocks or takes a line.
    void onlyRegularFilesAreWritten() {
        const QString fifo = dir.filePath(QStringLiteral("fifo.log"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(logfile::Append(fifo, QStringLiteral("x")).failure == logfile::Failure::NotRegularFile);
        QVERIFY(logfile::Append(dir.path(), QStringLiteral("x")).failure == logfile::Failure::NotRegularFile);
        QVERIFY(logfile::Describe(fifo, {logfile::Failure::NotRegularFile, 0}).contains(fifo));
    }

    // With the disk full in the middle of a line, the file is cut back: the
    // next line, once there is room, starts on a line of its own.
    void fullDiskWritesWholeLinesOrNone() {
        writeRaw(QByteArray(990, 'a') + "\r\n");
        const auto result = withFileSizeLimit(1000, [&] { return logfile::Append(path, QString(30, u'b')); });
        QVERIFY(result.failure == logfile::Failure::NoSpace);
        QCOMPARE(contents(), QByteArray(990, 'a') + "\r\n");
        QVERIFY(logfile::Append(path, QStringLiteral("c")));
        QCOMPARE(contents(), QByteArray(990, 'a') + "\r\nc\r\n");
    }

    // On a disk without room for a second copy the log is trimmed in place.
    void fullDiskTrimsInPlace() {
        if (geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL("a small tmpfs needs root and a mount namespace, which CI must have");
            QSKIP("SKIPPED LOUDLY: a small tmpfs needs root and a mount namespace");
        }
        QTemporaryDir small;
        const QByteArray where = QFile::encodeName(small.path());
        QVERIFY(::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") == 0);
        path = small.filePath(QStringLiteral("Connect.log"));
        QByteArray text;
        for (int i = 0; i < 400; ++i) // 40000 bytes: the kept 27600 do not fit beside them
            text += QByteArray::number(i).rightJustified(98, '.') + "\r\n";
        writeRaw(text);
        const logfile::Outcome result = logfile::Trim(path, 30720);
        const QByteArray after = contents();
        const QStringList files = QDir(small.path()).entryList(QDir::Files);
        ::umount(where.constData());
        QVERIFY(result);
        QCOMPARE(after, text.right(27600));
        QCOMPARE(files, QStringList{QStringLiteral("Connect.log")});
    }

    // A writable log in a folder where no copy can be made is trimmed in
    // place (as nobody when running as root, who may write anywhere).
    void readOnlyFolderTrimsInPlace() {
        QTemporaryDir top;
        const QString folder = top.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(folder));
        path = folder + QStringLiteral("/Connect.log");
        writeRaw("one\r\ntwo\r\nthree\r\n");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        QVERIFY(::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0);
        bool trimmed = false;
        if (geteuid() == 0) {
            const pid_t child = fork();
            if (child == 0)
                _exit(setgid(65534) == 0 && setuid(65534) == 0 && logfile::Trim(path, 10) ? 0 : 1);
            int status = -1;
            QVERIFY(waitpid(child, &status, 0) == child);
            trimmed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        } else {
            trimmed = bool(logfile::Trim(path, 10));
        }
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QVERIFY(trimmed);
        QCOMPARE(contents(), QByteArray("three\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("Connect.log")});
    }

    // A log far over its limit is trimmed from its end, in little memory.
    void hugeLogTrimsInBoundedMemory() {
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray block = QByteArray(1022, 'z') + "\r\n";
            for (int i = 0; i < 64 * 1024; ++i) // 64 MiB
                f.write(block);
            f.write("last\r\n");
        }
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        QVERIFY(logfile::Trim(path, 1024));
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        QCOMPARE(contents(), QByteArray("last\r\n"));
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 8 * 1024, qPrintable(QString::number(after.ru_maxrss)));
    }

    // A disk that fills up while the kept lines are written leaves the log as
    // it was.
    void failedRewriteKeepsTheLog() {
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += QByteArray::number(i).rightJustified(98, '-') + "\r\n";
        writeRaw(text);
        const auto result = withFileSizeLimit(1000, [&] { return logfile::Trim(path, 10000); });
        QVERIFY(result.failure == logfile::Failure::NoSpace);
        QCOMPARE(contents(), text);
        // No temporary file is left beside the log.
        QCOMPARE(QDir(dir.path()).entryList({QFileInfo(path).fileName() + u'*'}, QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "TestLogFile.moc"
