#include "sound/QtSoundPlayer.h"

#include <QAudioDevice>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {

// A 16-bit mono tone of the given length, a real WAV file QSoundEffect accepts.
void writeTone(const QString& path, int count = 2205) {
    const int rate = 22050;
    QByteArray data(44 + 2 * count, '\0');
    char* p = data.data();
    memcpy(p, "RIFF", 4);
    qToLittleEndian<quint32>(36 + 2 * count, p + 4);
    memcpy(p + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, p + 16);
    qToLittleEndian<quint16>(1, p + 20);
    qToLittleEndian<quint16>(1, p + 22);
    qToLittleEndian<quint32>(rate, p + 24);
    qToLittleEndian<quint32>(rate * 2, p + 28);
    qToLittleEndian<quint16>(2, p + 32);
    qToLittleEndian<quint16>(16, p + 34);
    memcpy(p + 36, "data", 4);
    qToLittleEndian<quint32>(2 * count, p + 40);
    for (int i = 0; i < count; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(i * 0.25)), p + 44 + 2 * i);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// A tone whose header promises more samples than the file holds.
void writeTruncated(const QString& path) {
    writeTone(path);
    QFile file(path);
    QVERIFY(file.resize(file.size() - 1));
}

void writeGarbage(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF this is not a sound at all, only some text that ends early");
}

QStringList firstArguments(const QSignalSpy& spy) {
    QStringList list;
    for (const auto& arguments : spy)
        list << arguments.at(0).toString();
    return list;
}

} // namespace

class TestQtSoundPlayer : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_program; // with trailing "/"

    void clearProgramFolder() {
        QDir dir(m_program);
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_program = m_dir.path() + "/program/";
        QVERIFY(QDir().mkpath(m_program));
    }
    void init() { clearProgramFolder(); }

    void resolve_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected"); // "<program>" and "<current>" stand for the folders
        QTest::newRow("bare name") << "Chimes.wav"
                                   << "<program>Chimes.wav";
        QTest::newRow("quoted bare name") << "\"Chimes.wav\""
                                          << "<program>Chimes.wav";
        QTest::newRow("blanks around quotes") << "  \"My Sound.wav\" "
                                              << "<program>My Sound.wav";
        QTest::newRow("inner blanks kept") << "\" a b .wav\""
                                           << "<program> a b .wav";
        QTest::newRow("absolute") << "/usr/share/x.wav"
                                  << "/usr/share/x.wav";
        QTest::newRow("quoted absolute") << "\"/usr/share/x y.wav\""
                                         << "/usr/share/x y.wav";
        QTest::newRow("relative with folder") << "sounds/x.wav"
                                              << "<current>sounds/x.wav";
        QTest::newRow("dot folder") << "./x.wav"
                                    << "<current>x.wav";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("quotes only") << "\"\""
                                     << "";
    }
    void resolve() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        expected.replace("<program>", m_program).replace("<current>", QDir::currentPath() + "/");
        QtSoundPlayer player(m_program);
        QCOMPARE(player.resolve(name), expected);
    }

    void programFolderWithoutSlash() {
        QtSoundPlayer player(m_dir.path() + "/program");
        QCOMPARE(player.resolve("a.wav"), m_program + "a.wav");
    }

    void validFileIsPlayed_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("file"); // relative to the program folder
        QTest::newRow("bare name") << "Tone.wav"
                                   << "Tone.wav";
        QTest::newRow("quoted") << "\"Tone.wav\""
                                << "Tone.wav";
        QTest::newRow("absolute") << "<program>sub/Tone.wav"
                                  << "sub/Tone.wav";
        QTest::newRow("quoted absolute with blank") << "\"<program>sub/My Tone.wav\""
                                                    << "sub/My Tone.wav";
        QTest::newRow("Alert.wav itself") << "Alert.wav"
                                          << "Alert.wav";
    }
    void validFileIsPlayed() {
        QFETCH(QString, request);
        QFETCH(QString, file);
        QVERIFY(QDir().mkpath(m_program + "sub"));
        writeTone(m_program + file);
        if (file != "Alert.wav")
            writeTone(m_program + "Alert.wav");

        QtSoundPlayer player(m_program);
        QSignalSpy played(&player, &QtSoundPlayer::played);
        QSignalSpy failed(&player, &QtSoundPlayer::failed);
        QSignalSpy beeped(&player, &QtSoundPlayer::beeped);
        player.PlaySound(request.replace("<program>", m_program));
        QTRY_COMPARE(played.size(), 1);
        QCOMPARE(played.at(0).at(0).toString(), m_program + file);
        QTest::qWait(50);
        QCOMPARE(played.size(), 1);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(beeped.size(), 0);
    }

    void relativeNameUsesCurrentFolder() {
        QTemporaryDir current;
        QVERIFY(current.isValid());
        QVERIFY(QDir(current.path()).mkpath("sub"));
        writeTone(current.path() + "/sub/Here.wav");
        writeTone(current.path() + "/Here.wav");
        writeTone(m_program + "Alert.wav");
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(current.path()));

        QtSoundPlayer player(m_program);
        QSignalSpy played(&player, &QtSoundPlayer::played);
        QSignalSpy failed(&player, &QtSoundPlayer::failed);
        player.PlaySound("sub/Here.wav");
        // A bare name is not looked for in the current folder.
        player.PlaySound("Here.wav");
        QDir::setCurrent(saved);

        QTRY_COMPARE(played.size(), 2);
        QStringList paths = firstArguments(played);
        QStringList expected{m_program + "Alert.wav", QDir(current.path()).canonicalPath() + "/sub/Here.wav"};
        paths.sort();
        expected.sort();
        QCOMPARE(paths, expected);
        QCOMPARE(firstArguments(failed), QStringList{m_program + "Here.wav"});
    }

    // Every way a file can fail, against every state of Alert.wav.
    void fallback_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("alert"); // "tone", "garbage" or "" (none)
        QTest::addColumn<QStringList>("failures");
        QTest::addColumn<QStringList>("plays");
        QTest::addColumn<int>("beeps");
        const QString alert = "<program>Alert.wav";
        for (const QString request : {"Missing.wav", "Junk.wav", "Truncated.wav", "Folder.wav", "Empty.wav", ""}) {
            const QString failedPath = request.isEmpty() ? QString() : "<program>" + request;
            const QByteArray name = request.isEmpty() ? "no name" : request.toLatin1();
            QTest::newRow(name + ", alert plays")
                << request << "tone" << QStringList{failedPath} << QStringList{alert} << 0;
            QTest::newRow(name + ", no alert") << request << "" << QStringList{failedPath, alert} << QStringList{} << 1;
            QTest::newRow(name + ", broken alert")
                << request << "garbage" << QStringList{failedPath, alert} << QStringList{} << 1;
        }
        QTest::newRow("missing alert asked for") << "Alert.wav"
                                                 << "" << QStringList{alert} << QStringList{} << 1;
        QTest::newRow("broken alert asked for") << "Alert.wav"
                                                << "garbage" << QStringList{alert} << QStringList{} << 1;
    }
    void fallback() {
        QFETCH(QString, request);
        QFETCH(QString, alert);
        QFETCH(QStringList, failures);
        QFETCH(QStringList, plays);
        QFETCH(int, beeps);
        writeGarbage(m_program + "Junk.wav");
        writeTruncated(m_program + "Truncated.wav");
        QFile(m_program + "Empty.wav").open(QIODevice::WriteOnly);
        QDir().mkpath(m_program + "Folder.wav");
        if (alert == "tone")
            writeTone(m_program + "Alert.wav");
        else if (alert == "garbage")
            writeGarbage(m_program + "Alert.wav");
        failures.replaceInStrings("<program>", m_program);
        plays.replaceInStrings("<program>", m_program);

        QtSoundPlayer player(m_program);
        QSignalSpy played(&player, &QtSoundPlayer::played);
        QSignalSpy failed(&player, &QtSoundPlayer::failed);
        QSignalSpy beeped(&player, &QtSoundPlayer::beeped);
        player.PlaySound(request);
        QTRY_COMPARE(failed.size() + played.size() + beeped.size(), failures.size() + plays.size() + beeps);
        QTest::qWait(50);
        QCOMPARE(firstArguments(failed), failures);
        QCOMPARE(firstArguments(played), plays);
        QCOMPARE(beeped.size(), beeps);
        // Failed effects are let go; only a playing one may remain.
        QVERIFY(player.activeEffects() <= plays.size());
        QDir(m_program + "Folder.wav").removeRecursively();
    }

    void returnsAtOnce() {
        writeTone(m_program + "Tone.wav");
        writeTone(m_program + "Alert.wav");
        writeGarbage(m_program + "Junk.wav");
        for (const char* name : {"Tone.wav", "Junk.wav", "Missing.wav", "Tone.wav"}) {
            QtSoundPlayer player(m_program);
            QElapsedTimer timer;
            timer.start();
            player.PlaySound(name);
            QVERIFY2(timer.elapsed() < 50, name);
        }
    }

    // A load that does not finish in time counts as failed, and the file is
    // not tried again until it changes. Files load on another thread, so
    // with no time allowed every load is too slow.
    // A file that is not ready within the load time-out counts as failed and
    // is not tried again until it changes. Whether the alert sound itself is
    // ready at once depends on Qt's sample cache, so either outcome of the
    // fallback is accepted.
    void slowLoadFallsBack() {
        const QString slow = m_program + "Slow.wav";
        const QString alert = m_program + "Alert.wav";
        writeTone(slow);
        writeTone(alert);
        QtSoundPlayer player(m_program);
        QSignalSpy played(&player, &QtSoundPlayer::played);
        QSignalSpy failed(&player, &QtSoundPlayer::failed);
        QSignalSpy beeped(&player, &QtSoundPlayer::beeped);
        player.setLoadTimeout(0);
        player.PlaySound("Slow.wav");
        QTRY_VERIFY(!failed.isEmpty());
        QCOMPARE(failed.at(0).at(0).toString(), slow);
        QTRY_VERIFY(firstArguments(played).contains(alert) || beeped.size() == 1);

        // Remembered as failed: it falls back at once, without a new load.
        player.setLoadTimeout(QtSoundPlayer::kLoadTimeoutMs);
        const qsizetype failedBefore = failed.size();
        player.PlaySound("Slow.wav");
        QCOMPARE(failed.at(failedBefore).at(0).toString(), slow);
        QVERIFY(!firstArguments(played).contains(slow));

        // Once the file changes it is loaded again, and plays. On a machine
        // busy with other tests a load can take longer than the player's
        // own time-out; what is tested here is that it is tried again.
        writeTone(slow, 3000);
        player.setLoadTimeout(15'000);
        player.PlaySound("Slow.wav");
        QTRY_VERIFY_WITH_TIMEOUT(firstArguments(played).contains(slow), 20'000);
    }

    void effectsAreBounded() {
        writeTone(m_program + "Tone.wav");
        writeTone(m_program + "Alert.wav");
        writeGarbage(m_program + "Junk.wav");
        auto player = std::make_unique<QtSoundPlayer>(m_program);
        QSignalSpy played(player.get(), &QtSoundPlayer::played);
        for (int i = 0; i < 3 * QtSoundPlayer::kMaxEffects; ++i) {
            player->PlaySound(i % 2 ? "Tone.wav" : "Junk.wav");
            QVERIFY(player->activeEffects() <= QtSoundPlayer::kMaxEffects);
        }
        QTRY_VERIFY(played.size() >= QtSoundPlayer::kMaxEffects);
        QVERIFY(player->activeEffects() <= QtSoundPlayer::kMaxEffects);
        // Destroyed while effects still load or play.
        player->PlaySound("Tone.wav");
        player.reset();
        QTest::qWait(50);
    }

    // Without an audio device this is said once, not at every sound.
    void missingDeviceIsSaidOnce() {
        if (!QMediaDevices::audioOutputs().isEmpty())
            QSKIP("this machine has an audio device");
        QTest::failOnWarning("No audio device detected");
        writeTone(m_program + "Tone.wav");
        QtSoundPlayer player(m_program);
        QSignalSpy said(&player, &QtSoundPlayer::audioUnavailable);
        QSignalSpy played(&player, &QtSoundPlayer::played);
        for (int i = 0; i < 3; ++i)
            player.PlaySound("Tone.wav");
        QTRY_COMPARE(played.size(), 3);
        QCOMPARE(said.size(), 1);
    }
};

QTEST_MAIN(TestQtSoundPlayer)
#include "TestQtSoundPlayer.moc"
