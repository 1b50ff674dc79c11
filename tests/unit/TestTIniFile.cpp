#include "Exception.h"
#include "settings/TIniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Default = "<default>";

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString handEditedFile() {
    return QString::fromUtf8(LINKVIGIL_INI_DATA) + "/classic-crlf.ini";
}

// Caps the size of files this process may write, the way a full disk would
// make a write fail; lifted again when it goes out of scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace

class TestTIniFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name = "settings.ini") const { return m_dir->filePath(name); }
    QStringList folderEntries() const {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    // ---- reading a file written by the classic functions and edited by hand

    void readsHandEditedFile_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exact names") << "General"
                                     << "Host"
                                     << "example.test";
        QTest::newRow("names in other case") << "gENERAL"
                                             << "HOST"
                                             << "example.test";
        QTest::newRow("blanks around name and value") << "General"
                                                      << "Interval"
                                                      << "1000";
        QTest::newRow("blanks around requested names") << " General\t"
                                                       << " Interval "
                                                       << "1000";
        QTest::newRow("blanks around section name") << "spaced section"
                                                    << "key"
                                                    << "v";
        QTest::newRow("double quotes removed, blanks inside kept") << "General"
                                                                   << "Quoted"
                                                                   << "  spaced out  ";
        QTest::newRow("single quotes removed") << "General"
                                               << "SingleQuoted"
                                               << "single";
        QTest::newRow("different quotes kept") << "General"
                                               << "MixedQuotes"
                                               << "\"mixed'";
        QTest::newRow("opening quote only kept") << "General"
                                                 << "HalfQuoted"
                                                 << "\"open";
        QTest::newRow("lone quote kept") << "General"
                                         << "LoneQuote"
                                         << "\"";
        QTest::newRow("empty value is not the default") << "General"
                                                        << "Empty"
                                                        << "";
        QTest::newRow("blank value is empty") << "General"
                                              << "Blank"
                                              << "";
        QTest::newRow("equals signs after the first") << "General"
                                                      << "Equals"
                                                      << "a=b=c";
        QTest::newRow("first of a repeated key") << "General"
                                                 << "host"
                                                 << "example.test";
        QTest::newRow("repeated section not consulted") << "General"
                                                        << "Late" << Default;
        QTest::newRow("missing key") << "General"
                                     << "Port" << Default;
        QTest::newRow("missing section") << "Window"
                                         << "Host" << Default;
        QTest::newRow("key before any section") << ""
                                                << "Stray" << Default;
        QTest::newRow("line without equals sign") << "General"
                                                  << "no equals sign here" << Default;
        QTest::newRow("comment line") << "General"
                                      << ";Commented" << Default;
        QTest::newRow("key of another section") << "Flags"
                                                << "Host" << Default;
    }
    void readsHandEditedFile() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const TIniFile ini(handEditedFile());
        QCOMPARE(ini.ReadString(section, key, Default), expected);
    }

    void readsInteger_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal with blanks") << "Interval" << 1000;
        QTest::newRow("0x hex") << "HexInterval" << 1000;
        QTest::newRow("dollar hex") << "Dollar" << 16;
        QTest::newRow("negative") << "Negative" << -42;
        QTest::newRow("quoted") << "QuotedNumber" << 25;
        QTest::newRow("unit after number") << "Timeout" << -7;
        QTest::newRow("text") << "Host" << -7;
        QTest::newRow("empty") << "Empty" << -7;
        QTest::newRow("missing") << "Port" << -7;
    }
    void readsInteger() {
        QFETCH(QString, key);
        QFETCH(int, expected);
        const TIniFile ini(handEditedFile());
        QCOMPARE(ini.ReadInteger("General", key, -7), expected);
    }

    void readsBool_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << "On" << false << true;
        QTest::newRow("0") << "Off" << true << false;
        QTest::newRow("2 is true") << "Two" << false << true;
        QTest::newRow("true gives default false") << "Word" << false << false;
        QTest::newRow("true gives default true") << "Word" << true << true;
        QTest::newRow("yes gives default false") << "Yes" << false << false;
        QTest::newRow("missing gives default true") << "Missing" << true << true;
        QTest::newRow("missing gives default false") << "Missing" << false << false;
    }
    void readsBool() {
        QFETCH(QString, key);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        const TIniFile ini(handEditedFile());
        QCOMPARE(ini.ReadBool("Flags", key, defaultValue), expected);
    }

    void lineEndsReadTheSame_data() {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QByteArray>("eol");
        QTest::addColumn<QByteArray>("last");
        QTest::newRow("CR LF") << QByteArray() << QByteArray("\r\n") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray() << QByteArray("\n") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray() << QByteArray("\r") << QByteArray("\r");
        QTest::newRow("no final line end") << QByteArray() << QByteArray("\r\n") << QByteArray();
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF") << QByteArray("\n") << QByteArray("\n");
    }
    void lineEndsReadTheSame() {
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArray, eol);
        QFETCH(QByteArray, last);
        writeBytes(path(), prefix + "[A]" + eol + "x = 1" + eol + "[B]" + eol + "y=\"tw\xC3\xB6\"" + last);
        const TIniFile ini(path());
        QCOMPARE(ini.ReadString("A", "x", Default), "1");
        QCOMPARE(ini.ReadString("B", "y", Default), QString::fromUtf8("tw\xC3\xB6"));
        QCOMPARE(ini.ReadString("A", "y", Default), Default);
    }

    void valueLengthLimit_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("2047 kept") << QString(2047, 'a') << QString(2047, 'a');
        QTest::newRow("2048 cut to 2047") << QString(2048, 'a') << QString(2047, 'a');
        QTest::newRow("very long cut to 2047") << QString(2047, 'a') + QString(5000, 'b') << QString(2047, 'a');
        QTest::newRow("quotes removed before cutting") << '"' + QString(2047, 'q') + '"' << QString(2047, 'q');
        QTest::newRow("quoted and too long") << '"' + QString(2048, 'q') + '"' << QString(2047, 'q');
        QTest::newRow("pair ending at the limit") << QString(2045, 'a') + emoji << QString(2045, 'a') + emoji;
        QTest::newRow("pair across the limit not split") << QString(2046, 'a') + emoji << QString(2046, 'a');
    }
    void valueLengthLimit() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        writeBytes(path(), "[S]\r\nk=" + stored.toUtf8() + "\r\nafter=1\r\n");
        const TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "k", Default), expected);
        QCOMPARE(ini.ReadInteger("S", "after", 0), 1);
    }

    void missingFileReadsDefaults() {
        const TIniFile missing(path());
        QCOMPARE(missing.ReadString("S", "k", Default), Default);
        QCOMPARE(missing.ReadInteger("S", "k", 17), 17);
        QCOMPARE(missing.ReadBool("S", "k", true), true);
        QCOMPARE(missing.ReadFloat("S", "k", 2.5, '.'), 2.5);
        QVERIFY(!QFile::exists(path()));

        QVERIFY(QDir(m_dir->path()).mkdir("folder.ini"));
        const TIniFile folder(path("folder.ini"));
        QCOMPARE(folder.ReadString("S", "k", Default), Default);
    }

    // ---- writing

    void freshFileKeepsWriteOrder() {
        TIniFile ini(path());
        ini.WriteString("Window", "Left", "10");
        ini.WriteInteger("Ping", "Interval", 1000);
        ini.WriteBool("Window", "Maximized", true);
        ini.WriteString("Ping", "Host", "example.test");
        ini.WriteString("Window", "Left", "20");
        QCOMPARE(readBytes(path()), "[Window]\r\nLeft=20\r\nMaximized=1\r\n\r\n"
                                    "[Ping]\r\nInterval=1000\r\nHost=example.test\r\n");
    }

    void writeEdits_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("empty file") << QByteArray("") << "S"
                                    << "k"
                                    << "v" << QByteArray("[S]\r\nk=v\r\n");
        QTest::newRow("replace keeps spelling and position")
            << QByteArray("[S]\r\na=1\r\n  KEY = old \r\nb=2\r\n") << "s"
            << "key"
            << "new" << QByteArray("[S]\r\na=1\r\nKEY=new\r\nb=2\r\n");
        QTest::newRow("replace with empty value") << QByteArray("[S]\r\nk=old\r\n") << "S"
                                                  << "k"
                                                  << "" << QByteArray("[S]\r\nk=\r\n");
        QTest::newRow("only the first of a repeated key") << QByteArray("[S]\r\nk=1\r\nk=2\r\n") << "S"
                                                          << "k"
                                                          << "9" << QByteArray("[S]\r\nk=9\r\nk=2\r\n");
        QTest::newRow("add to a section that is not last, LF")
            << QByteArray("[Window]\nLeft=10\nTop = 20\n[Sounds]\nEnabled=1\n") << "window"
            << "Width"
            << "640" << QByteArray("[Window]\nLeft=10\nTop = 20\nWidth=640\n[Sounds]\nEnabled=1\n");
        QTest::newRow("add before the section's trailing blank lines")
            << QByteArray("[A]\r\na=1\r\n\r\n\r\n[B]\r\nb=1\r\n") << "A"
            << "c"
            << "3" << QByteArray("[A]\r\na=1\r\nc=3\r\n\r\n\r\n[B]\r\nb=1\r\n");
        QTest::newRow("add before a comment that follows the keys")
            << QByteArray("[A]\r\na=1\r\n; about B\r\n[B]\r\n") << "A"
            << "k"
            << "v" << QByteArray("[A]\r\na=1\r\nk=v\r\n; about B\r\n[B]\r\n");
        QTest::newRow("add to a section without keys") << QByteArray("[A]\r\n\r\n[B]\r\nb=1\r\n") << "A"
                                                       << "k"
                                                       << "v" << QByteArray("[A]\r\nk=v\r\n\r\n[B]\r\nb=1\r\n");
        QTest::newRow("add to the first of a repeated section")
            << QByteArray("[A]\r\na=1\r\n[B]\r\n[a]\r\nz=1\r\n") << "A"
            << "z"
            << "2" << QByteArray("[A]\r\na=1\r\nz=2\r\n[B]\r\n[a]\r\nz=1\r\n");
        QTest::newRow("key of the same name before any section") << QByteArray("k=1\r\n[A]\r\n") << "A"
                                                                 << "k"
                                                                 << "2" << QByteArray("k=1\r\n[A]\r\nk=2\r\n");
        QTest::newRow("add after a last line without line end") << QByteArray("[A]\na=1") << "A"
                                                                << "b"
                                                                << "2" << QByteArray("[A]\na=1\nb=2\n");
        QTest::newRow("replace in a last line without line end") << QByteArray("[A]\r\na=1") << "A"
                                                                 << "a"
                                                                 << "2" << QByteArray("[A]\r\na=2");
        QTest::newRow("new section after a last line without line end")
            << QByteArray("[A]\r\na=1") << "B"
            << "b"
            << "2" << QByteArray("[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n");
        QTest::newRow("new section after a blank line") << QByteArray("[A]\r\na=1\r\n\r\n") << "B"
                                                        << "b"
                                                        << "2" << QByteArray("[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n");
        QTest::newRow("CR line ends kept") << QByteArray("[A]\ra=1\r") << "A"
                                           << "b"
                                           << "2" << QByteArray("[A]\ra=1\rb=2\r");
        QTest::newRow("byte order mark and foreign bytes kept")
            << QByteArray("\xEF\xBB\xBF; caf\xE9\r\n[A]\r\na=1\r\n") << "A"
            << "a" << QString::fromUtf8("\xC3\xA9") << QByteArray("\xEF\xBB\xBF; caf\xE9\r\n[A]\r\na=\xC3\xA9\r\n");
        QTest::newRow("line breaks in a value become spaces")
            << QByteArray("[A]\r\na=1\r\n") << "A"
            << "a"
            << "one\r\ntwo\nthree" << QByteArray("[A]\r\na=one  two three\r\n");
        QTest::newRow("values are written as they stand") << QByteArray("") << "A"
                                                          << "a"
                                                          << " padded\t" << QByteArray("[A]\r\na= padded\t\r\n");
        QTest::newRow("a quoted file name keeps its quotes in the file")
            << QByteArray("") << "A"
            << "a"
            << "\"/tmp/my alarm.wav\"" << QByteArray("[A]\r\na=\"/tmp/my alarm.wav\"\r\n");
    }
    void writeEdits() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        writeBytes(path(), before);
        TIniFile ini(path());
        ini.WriteString(section, key, value);
        QCOMPARE(readBytes(path()), after);
        QCOMPARE(folderEntries(), QStringList{"settings.ini"});
    }

    void writesKeepHandEditedFile() {
        const QByteArray original = readBytes(handEditedFile());
        writeBytes(path(), original);
        TIniFile ini(path());
        ini.WriteInteger("general", "INTERVAL", 250);
        ini.WriteString("GENERAL", "Late", "added");
        ini.WriteBool("Flags", "Word", false);

        QByteArray expected = original;
        expected.replace("  Interval  =\t1000 \r\n", "Interval=250\r\n");
        expected.replace("host=second copy\r\n", "host=second copy\r\nLate=added\r\n");
        expected.replace("Word=true\r\n", "Word=0\r\n");
        QCOMPARE(readBytes(path()), expected);
        QCOMPARE(ini.ReadInteger("General", "Interval", 0), 250);
        QCOMPARE(ini.ReadString("General", "Late", Default), "added");
        QCOMPARE(ini.ReadBool("Flags", "Word", true), false);
    }

    // Another writer, or a hand edit, between two calls is seen and kept.
    void nothingIsCached() {
        TIniFile first(path());
        const TIniFile second(path());
        first.WriteString("S", "k", "1");
        QCOMPARE(second.ReadString("S", "k", Default), "1");

        writeBytes(path(), readBytes(path()) + "; note\r\n[Hand]\r\nh=edited\r\n");
        QCOMPARE(first.ReadString("Hand", "h", Default), "edited");
        first.WriteString("S", "k2", "2");
        QCOMPARE(readBytes(path()), "[S]\r\nk=1\r\nk2=2\r\n; note\r\n[Hand]\r\nh=edited\r\n");
    }

    void failedWrite_data() {
        QTest::addColumn<QString>("layout");
        QTest::newRow("parent is a regular file") << "parent-file";
        QTest::newRow("parent does not exist") << "no-parent";
        QTest::newRow("path is a folder") << "folder";
        QTest::newRow("no room for the temporary name") << "long-name";
    }
    void failedWrite() {
        QFETCH(QString, layout);
        QString target;
        const QByteArray handWritten = "; by hand\r\n[S]\r\nk=hand\r\n";
        if (layout == "parent-file") {
            writeBytes(path("folder"), "not a folder");
            target = path("folder") + "/settings.ini";
        } else if (layout == "no-parent") {
            target = path("no/such/folder/settings.ini");
        } else if (layout == "folder") {
            QVERIFY(QDir(m_dir->path()).mkdir("settings.ini"));
            target = path();
        } else {
            // The longest name the folder allows: the temporary copy beside
            // it needs a longer one, so only the final file can exist.
            target = path(QString(251, 'n') + ".ini");
            writeBytes(target, handWritten);
        }
        const QStringList entries = folderEntries();

        TIniFile ini(target);
        try {
            ini.WriteString("S", "k", "new");
            QFAIL("the write succeeded");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), "Unable to write to " + target);
        }
        QCOMPARE(folderEntries(), entries);
        if (layout == "long-name") {
            QCOMPARE(readBytes(target), handWritten);
            QCOMPARE(ini.ReadString("S", "k", Default), "hand");
        }
    }

    void failedWriteKeepsEarlierWrites() {
        TIniFile ini(path());
        ini.WriteString("S", "a", "1");
        ini.WriteInteger("S", "b", 2);
        const QByteArray before = readBytes(path());

        QString message;
        {
            const FileSizeLimit diskFull(64 * 1024);
            try {
                ini.WriteString("S", "c", QString(200 * 1024, 'x'));
            } catch (const Exception& e) {
                message = e.Message();
            }
        }
        QCOMPARE(message, "Unable to write to " + path());
        QCOMPARE(readBytes(path()), before);
        QCOMPARE(folderEntries(), QStringList{"settings.ini"});

        ini.WriteString("S", "c", "3");
        QCOMPARE(readBytes(path()), "[S]\r\na=1\r\nb=2\r\nc=3\r\n");
    }

    // A hand-written Windows-1252 value reads correctly and survives a save
    // of every key without edits byte for byte.
    void foreignBytesSurviveASave() {
        const QByteArray text = "[Addresses]\r\nAddress01=b\xFC"
                                "cher.example\r\nCount=1\r\n";
        writeBytes(path(), text);
        TIniFile ini(path());
        const QString host = ini.ReadString("Addresses", "Address01", Default);
        QCOMPARE(host, QString::fromUtf8("b\xC3\xBC"
                                         "cher.example"));
        ini.BeginUpdate();
        ini.WriteInteger("Addresses", "Count", 1);
        ini.WriteString("Addresses", "Address01", host);
        ini.Commit();
        QCOMPARE(readBytes(path()), text);
        ini.WriteString("Addresses", "Address01", host + "x"); // an edit is written as UTF-8
        QCOMPARE(readBytes(path()), "[Addresses]\r\nAddress01=b\xC3\xBC"
                                    "cher.examplex\r\nCount=1\r\n");
    }

    // The writes of one save reach the disk together, or not at all.
    void updateIsOneReplacement() {
        writeBytes(path(), "[S]\r\na=0\r\n");
        TIniFile ini(path());
        ini.BeginUpdate();
        ini.WriteString("S", "a", "1");
        ini.WriteString("S", "b", QString(100 * 1024, 'x'));
        QCOMPARE(readBytes(path()), "[S]\r\na=0\r\n");
        {
            const FileSizeLimit diskFull(64 * 1024);
            QVERIFY_THROWS_EXCEPTION(Exception, ini.Commit());
        }
        QCOMPARE(readBytes(path()), "[S]\r\na=0\r\n");
        ini.BeginUpdate();
        ini.WriteString("S", "a", "1");
        ini.WriteString("S", "b", "2");
        ini.Commit();
        QCOMPARE(readBytes(path()), "[S]\r\na=1\r\nb=2\r\n");
    }

    // A writable file in a folder where no temporary file can be made is
    // rewritten in place (tried as nobody when running as root).
    void readOnlyFolderIsWrittenInPlace() {
        const QString folder = path("locked");
        QVERIFY(QDir().mkdir(folder));
        const QString target = folder + "/settings.ini";
        writeBytes(target, "[S]\r\nk=old\r\n");
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0666) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
        const auto write = [&] {
            TIniFile ini(target);
            ini.WriteString("S", "k", "new");
        };
        if (geteuid() == 0) {
            const pid_t child = fork();
            if (child == 0) {
                if (setgid(65534) != 0 || setuid(65534) != 0)
                    _exit(3);
                try {
                    write();
                } catch (const Exception&) {
                    _exit(1);
                }
                _exit(0);
            }
            int status = -1;
            QVERIFY(waitpid(child, &status, 0) == child);
            QCOMPARE(WEXITSTATUS(status), 0);
        } else {
            write();
        }
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QCOMPARE(readBytes(target), "[S]\r\nk=new\r\n");
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"settings.ini"});
    }

    // A save keeps the file's owner, group and mode.
    void saveKeepsOwnerAndMode() {
        if (geteuid() != 0)
            QSKIP("SKIPPED LOUDLY: giving a file to another owner needs root (CI runs it)");
        writeBytes(path(), "[S]\r\nk=old\r\n");
        const QByteArray name = QFile::encodeName(path());
        QVERIFY(::chown(name.constData(), 65534, 65534) == 0 && ::chmod(name.constData(), 0640) == 0);
        TIniFile(path()).WriteString("S", "k", "new");
        struct stat st {};
        QVERIFY(::stat(name.constData(), &st) == 0);
        QCOMPARE(int(st.st_uid), 65534);
        QCOMPARE(int(st.st_gid), 65534);
        QCOMPARE(int(st.st_mode & 07777), 0640);
    }

    // A FIFO never blocks: it reads as empty and is not written.
    void fifoReadsAsEmpty() {
        QVERIFY(::mkfifo(QFile::encodeName(path()).constData(), 0600) == 0);
        TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "k", Default), Default);
        QCOMPARE(ini.LoadError(), path() + " is not a regular file");
        QVERIFY_THROWS_EXCEPTION(Exception, ini.WriteString("S", "k", "v"));
    }

    // ---- round trips

    void stringRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("plain") << "example.test"
                               << "example.test";
        QTest::newRow("inner blanks") << "a  b\tc"
                                      << "a  b\tc";
        // As with the classic functions, outer blanks and quotes do not come back.
        QTest::newRow("outer blanks") << "  padded \t"
                                      << "padded";
        QTest::newRow("only blanks") << "   "
                                     << "";
        QTest::newRow("double quoted") << "\"q\""
                                       << "q";
        QTest::newRow("single quoted") << "'q'"
                                       << "q";
        QTest::newRow("lone quote") << "\""
                                    << "\"";
        QTest::newRow("equals signs") << "a=b=c"
                                      << "a=b=c";
        QTest::newRow("semicolon first") << ";not a comment"
                                         << ";not a comment";
        QTest::newRow("looks like a section") << "[Other]"
                                              << "[Other]";
        QTest::newRow("unicode") << QString::fromUtf8("caf\xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x98\x80")
                                 << QString::fromUtf8("caf\xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x98\x80");
        QTest::newRow("line breaks become spaces") << "one\r\ntwo\nthree\r"
                                                   << "one  two three";
        QTest::newRow("longest value") << QString(2047, 'L') << QString(2047, 'L');
    }
    void stringRoundTrip() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        TIniFile ini(path());
        ini.WriteString("S", "Before", "b");
        ini.WriteString("S", "Key", value);
        ini.WriteString("S", "After", "a");
        QCOMPARE(ini.ReadString("S", "Key", Default), expected);

        ini.WriteString("S", "Key", value); // the in-place path
        QCOMPARE(ini.ReadString("S", "Key", Default), expected);
        QCOMPARE(ini.ReadString("S", "Before", Default), "b");
        QCOMPARE(ini.ReadString("S", "After", Default), "a");
    }

    void integerRoundTrip_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("zero") << 0 << "0";
        QTest::newRow("positive") << 1000 << "1000";
        QTest::newRow("negative") << -1 << "-1";
        QTest::newRow("INT_MAX") << INT_MAX << "2147483647";
        QTest::newRow("INT_MIN") << INT_MIN << "-2147483648";
    }
    void integerRoundTrip() {
        QFETCH(int, value);
        QFETCH(QString, stored);
        TIniFile ini(path());
        ini.WriteInteger("S", "n", value);
        QCOMPARE(ini.ReadString("S", "n", Default), stored);
        QCOMPARE(ini.ReadInteger("S", "n", 12345), value);
    }

    void boolRoundTrip_data() {
        QTest::addColumn<bool>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("true") << true << "1";
        QTest::newRow("false") << false << "0";
    }
    void boolRoundTrip() {
        QFETCH(bool, value);
        QFETCH(QString, stored);
        TIniFile ini(path());
        ini.WriteBool("S", "b", value);
        QCOMPARE(ini.ReadString("S", "b", Default), stored);
        QCOMPARE(ini.ReadBool("S", "b", !value), value);
    }

    void floatRoundTrip_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("stored");
        QTest::newRow("one minute in days, point") << 1.0 / 1440 << QChar('.') << "0.000694444444444444";
        QTest::newRow("one minute in days, comma") << 1.0 / 1440 << QChar(',') << "0,000694444444444444";
        QTest::newRow("whole") << 1.0 << QChar('.') << "1";
        QTest::newRow("negative") << -2.25 << QChar(',') << "-2,25";
        QTest::newRow("zero") << 0.0 << QChar('.') << "0";
    }
    void floatRoundTrip() {
        QFETCH(double, value);
        QFETCH(QChar, separator);
        QFETCH(QString, stored);
        TIniFile ini(path());
        ini.WriteFloat("S", "f", value, separator);
        QCOMPARE(readBytes(path()), "[S]\r\nf=" + stored.toUtf8() + "\r\n");
        QCOMPARE(ini.ReadFloat("S", "f", 99.0, separator), value);
    }

    void readFloat_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<double>("expected");
        QTest::newRow("point") << "0.5" << QChar('.') << 0.5;
        QTest::newRow("comma") << "0,5" << QChar(',') << 0.5;
        QTest::newRow("comma when point expected") << "0,5" << QChar('.') << 7.5;
        QTest::newRow("point when comma expected") << "0.5" << QChar(',') << 7.5;
        QTest::newRow("exponent") << "1E3" << QChar('.') << 1000.0;
        QTest::newRow("quoted") << "\"0.25\"" << QChar('.') << 0.25;
        QTest::newRow("blanks around") << "  -1.5\t" << QChar('.') << -1.5;
        QTest::newRow("text") << "fast" << QChar('.') << 7.5;
        QTest::newRow("unit after number") << "0.5s" << QChar('.') << 7.5;
        QTest::newRow("empty") << "" << QChar('.') << 7.5;
    }
    void readFloat() {
        QFETCH(QString, stored);
        QFETCH(QChar, separator);
        QFETCH(double, expected);
        writeBytes(path(), "[S]\r\nf=" + stored.toUtf8() + "\r\n");
        const TIniFile ini(path());
        QCOMPARE(ini.ReadFloat("S", "f", 7.5, separator), expected);
        QCOMPARE(ini.ReadFloat("S", "missing", 7.5, separator), 7.5);
    }
};

QTEST_GUILESS_MAIN(TestTIniFile)
#include "TestTIniFile.moc"
