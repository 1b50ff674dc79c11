#include "seams/TextEditorLookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(texteditor::Command)

// Finding the desktop's text editor in a made-up set of XDG folders, and
// its command line for the log.
class TestTextEditorLookup : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    texteditor::XdgDirs dirs;
    QString program; // an executable that stands for every editor

    void write(const QString& relative, const QByteArray& text) {
        const QString path = root.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void entry(const QString& id, const QByteArray& exec, const QByteArray& extra = {}) {
        write("data/applications/" + id, "[Desktop Entry]\nType=Application\nName=E\nExec=" + exec + "\n" + extra);
    }

private slots:
    void init() {
        QVERIFY(root.isValid());
        QDir(root.path()).removeRecursively();
        QDir().mkpath(root.path());
        dirs = {{root.filePath("config")}, {root.filePath("data"), root.filePath("system")}, {"gnome"}};
        program = QFileInfo(QStringLiteral("/bin/true")).canonicalFilePath();
    }

    void defaultApplicationWins() {
        entry("first.desktop", program.toUtf8() + " %F");
        entry("second.desktop", program.toUtf8() + " --from-default %f");
        write("data/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=first.desktop;\n");
        // A default that is not installed is passed over for the next.
        write("config/mimeapps.list", "[Default Applications]\ntext/plain=missing.desktop;second.desktop;\n");
        const auto command = texteditor::commandFor(dirs, "/logs/Connect.log");
        QVERIFY(command);
        QCOMPARE(command->program, program);
        QCOMPARE(command->arguments, QStringList({"--from-default", "/logs/Connect.log"}));
    }

    void desktopSpecificListComesFirst() {
        entry("plain.desktop", program.toUtf8() + " --plain %U");
        entry("gnome.desktop", program.toUtf8() + " --gnome %U");
        write("config/mimeapps.list", "[Default Applications]\ntext/plain=plain.desktop\n");
        write("config/gnome-mimeapps.list", "[Default Applications]\ntext/plain=gnome.desktop\n");
        QCOMPARE(texteditor::commandFor(dirs, "/l")->arguments, QStringList({"--gnome", "/l"}));
    }

    // The guide's viewer is found the same way, for its own type only.
    void otherTypesHaveTheirOwnDefaults() {
        entry("viewer.desktop", program.toUtf8() + " --pdf %f");
        write("config/mimeapps.list", "[Default Applications]\napplication/pdf=viewer.desktop\n");
        QCOMPARE(texteditor::commandFor(dirs, "/g.pdf", "application/pdf")->arguments,
                 QStringList({"--pdf", "/g.pdf"}));
        QVERIFY(!texteditor::commandFor(dirs, "/l"));
    }

    void nothingKnown() {
        QVERIFY(!texteditor::commandFor(dirs, "/l"));
        // An entry whose program is missing is no editor.
        entry("gone.desktop", "/nonexistent/editor %f");
        write("system/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=gone.desktop;\n");
        QVERIFY(!texteditor::commandFor(dirs, "/l"));
    }

    // The log is one argument, whatever it is called: blanks, quotes, a
    // dollar or a name that a shell or a desktop opener would act on.
    void execLines_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("file code") << "ed %f"
                                   << "/a b/c.log" << QStringList{"ed", "/a b/c.log"};
        QTest::newRow("no file code") << "ed --new"
                                      << "/x.desktop" << QStringList{"ed", "--new", "/x.desktop"};
        QTest::newRow("quoted program") << "\"/opt/my ed/ed\" -w %U"
                                        << "/$(rm).sh" << QStringList{"/opt/my ed/ed", "-w", "/$(rm).sh"};
        QTest::newRow("escapes in quotes") << "ed \"--title=\\\"log\\\"\" %f"
                                           << "/l" << QStringList{"ed", "--title=\"log\"", "/l"};
        QTest::newRow("icon and name codes dropped") << "ed %i %c %k --x=50%% %F %F"
                                                     << "/l" << QStringList{"ed", "--x=50%", "/l"};
    }
    void execLines() {
        QFETCH(QString, exec);
        QFETCH(QString, path);
        QFETCH(QStringList, expected);
        const auto command = texteditor::expandExec(exec, path);
        QVERIFY(command);
        QCOMPARE(QStringList(command->program) + command->arguments, expected);
    }

    void brokenExecLines() {
        QVERIFY(!texteditor::expandExec("", "/l"));
        QVERIFY(!texteditor::expandExec("\"ed", "/l"));
        QVERIFY(!texteditor::expandExec("%f", "/l"));
    }
};

QTEST_GUILESS_MAIN(TestTextEditorLookup)
#include "TestTextEditorLookup.moc"
