#include "sound/QtSoundPlayer.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

bool runGenerator(const QStringList& arguments) {
    QProcess process;
    process.start(LINKVIGIL_GENSOUNDS, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestGenSounds : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(runGenerator({m_dir.path()}));
    }

    void wellFormed_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("minSeconds");
        QTest::addColumn<double>("maxSeconds");
        QTest::newRow("Carbrake") << "Carbrake.wav" << 1.0 << 1.5;
        QTest::newRow("Chimes") << "Chimes.wav" << 1.2 << 2.0;
        QTest::newRow("Alert") << "Alert.wav" << 0.15 << 0.4;
    }
    void wellFormed() {
        QFETCH(QString, name);
        QFETCH(double, minSeconds);
        QFETCH(double, maxSeconds);
        const QByteArray wav = readAll(m_dir.path() + "/" + name);
        QVERIFY(wav.size() > 44);
        const char* p = wav.constData();
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(p + 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(qFromLittleEndian<quint32>(p + 16), 16u);
        QCOMPARE(qFromLittleEndian<quint16>(p + 20), quint16(1)); // PCM
        QCOMPARE(qFromLittleEndian<quint16>(p + 22), quint16(1)); // mono
        QCOMPARE(qFromLittleEndian<quint32>(p + 24), 22050u);
        QCOMPARE(qFromLittleEndian<quint32>(p + 28), 44100u);
        QCOMPARE(qFromLittleEndian<quint16>(p + 32), quint16(2));
        QCOMPARE(qFromLittleEndian<quint16>(p + 34), quint16(16));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        const quint32 bytes = qFromLittleEndian<quint32>(p + 40);
        QCOMPARE(bytes, quint32(wav.size() - 44));

        const int count = int(bytes / 2);
        const double seconds = count / 22050.0;
        QVERIFY2(seconds >= minSeconds && seconds <= maxSeconds, qPrintable(QString::number(seconds)));

        int peak = 0;
        for (int i = 0; i < count; ++i)
            peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(p + 44 + 2 * i))));
        QVERIFY2(peak < 32767, "clipped");
        QVERIFY2(peak > 16000, "too quiet");
        // Faded in and out: no click at either end.
        for (int i : {0, 1, count - 2, count - 1})
            QVERIFY(std::abs(qFromLittleEndian<qint16>(p + 44 + 2 * i)) < 300);
    }

    void sameBytesEveryRun() {
        QTemporaryDir again;
        QVERIFY(runGenerator({again.path()}));
        for (const char* name : {"/Carbrake.wav", "/Chimes.wav", "/Alert.wav"})
            QVERIFY2(readAll(again.path() + name) == readAll(m_dir.path() + name), name);
    }

    void unwritableFolderFails() {
        QVERIFY(!runGenerator({m_dir.path() + "/no/such/folder"}));
        QVERIFY(!runGenerator({}));
    }

    void playerAcceptsThem() {
        QtSoundPlayer player(m_dir.path() + "/");
        QSignalSpy played(&player, &QtSoundPlayer::played);
        QSignalSpy failed(&player, &QtSoundPlayer::failed);
        for (const char* name : {"Carbrake.wav", "Chimes.wav", "Alert.wav"})
            player.PlaySound(name);
        QTRY_COMPARE(played.size(), 3);
        QCOMPARE(failed.size(), 0);
    }
};

QTEST_MAIN(TestGenSounds)
#include "TestGenSounds.moc"
