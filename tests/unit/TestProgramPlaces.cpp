// Where the window keeps its files: beside a portable program, in the
// user's XDG folders for an installed one.

#include "settings/ProgramPlaces.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <string>

namespace {

ProgramPlaces::Environment environment(std::map<std::string, QString> values) {
    return [values](const char* name) {
        const auto it = values.find(name);
        return it == values.end() ? QString() : it->second;
    };
}

} // namespace

class TestProgramPlaces : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void portableBesideTheProgram() {
        const QString program = dir.filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(program));
        const ProgramPlaces writable = ProgramPlaces::find(program, environment({}));
        QVERIFY(writable.portable);
        QCOMPARE(writable.settingsFile(), program + QStringLiteral("/Linkvigil.ini"));
        QCOMPARE(writable.dataDirectory, program + u'/');
        QVERIFY(writable.reason.contains(QStringLiteral("can be written to")));
        QFile ini(program + QStringLiteral("/Linkvigil.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        QVERIFY(ProgramPlaces::find(program + u'/', environment({})).reason.contains(QStringLiteral("holds")));
    }

    // A system folder is never written, whoever runs the program; the XDG
    // folders count only when absolute.
    void installedInTheUsersFolders() {
        const ProgramPlaces set = ProgramPlaces::find(
            QStringLiteral("/usr/bin"),
            environment({{"HOME", QStringLiteral("/home/anna")}, {"XDG_CONFIG_HOME", QStringLiteral("/tmp/cfg/")}}));
        QVERIFY(!set.portable);
        QCOMPARE(set.settingsFile(), QStringLiteral("/tmp/cfg/linkvigil/Linkvigil.ini"));
        QCOMPARE(set.dataDirectory, QStringLiteral("/home/anna/.local/state/linkvigil/"));
        const ProgramPlaces relative = ProgramPlaces::find(
            QStringLiteral("/usr/bin/"), environment({{"HOME", QStringLiteral("/home/anna")},
                                                      {"XDG_CONFIG_HOME", QStringLiteral("cfg")},
                                                      {"XDG_STATE_HOME", QStringLiteral("/var/tmp/st")}}));
        QCOMPARE(relative.settingsDirectory, QStringLiteral("/home/anna/.config/linkvigil/"));
        QCOMPARE(relative.dataDirectory, QStringLiteral("/var/tmp/st/linkvigil/"));
    }

    void foldersAreMadeOrTheReasonSaid() {
        const QString home = dir.filePath(QStringLiteral("home"));
        ProgramPlaces places = ProgramPlaces::find(QStringLiteral("/usr/bin"), environment({{"HOME", home}}));
        QString error;
        QVERIFY(places.makeFolders(&error));
        QVERIFY(QFileInfo(home + QStringLiteral("/.config/linkvigil")).isDir());
        QVERIFY(QFileInfo(home + QStringLiteral("/.local/state/linkvigil")).isDir());
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        places.dataDirectory = blocker.fileName() + QStringLiteral("/linkvigil/");
        QVERIFY(!places.makeFolders(&error));
        QVERIFY(error.contains(blocker.fileName()));
    }
};

QTEST_GUILESS_MAIN(TestProgramPlaces)
#include "TestProgramPlaces.moc"
