#include "sound/WavFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const QByteArray& id, const QByteArray& body) {
    QByteArray c = id + le32(body.size()) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}

QByteArray fmt(quint16 tag = 1, quint16 channels = 1, quint32 rate = 22050, quint16 bits = 16, QByteArray extra = {}) {
    const quint16 align = channels * bits / 8;
    return chunk("fmt ",
                 le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits) + extra);
}

QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks;
}

const QByteArray kSamples(400, '\1');

} // namespace

class TestWavFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void check_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("playable");
        const QByteArray data = chunk("data", kSamples);

        QTest::newRow("16-bit mono") << riff(fmt() + data) << true;
        QTest::newRow("8-bit") << riff(fmt(1, 1, 22050, 8) + data) << true;
        QTest::newRow("24-bit") << riff(fmt(1, 1, 22050, 24) + chunk("data", QByteArray(402, '\1'))) << true;
        QTest::newRow("32-bit stereo 48 kHz") << riff(fmt(1, 2, 48000, 32) + data) << true;
        QTest::newRow("fmt with extension size") << riff(fmt(1, 1, 22050, 16, le16(0)) + data) << true;
        QTest::newRow("list between fmt and data") << riff(fmt() + chunk("LIST", "INFOabcd") + data) << true;
        QTest::newRow("odd chunk padded") << riff(fmt() + chunk("note", "abc") + data) << true;
        QTest::newRow("chunk after data") << riff(fmt() + data + chunk("LIST", "INFOabcd")) << true;
        QTest::newRow("odd data length") << riff(fmt(1, 1, 22050, 8) + chunk("data", QByteArray(401, '\1'))) << true;
        QTest::newRow("riff length zero") << QByteArray(riff(fmt() + data)).replace(4, 4, le32(0)) << true;

        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("text") << QByteArray("RIFF but only words, no sound here at all, none") << false;
        QTest::newRow("header only") << riff({}) << false;
        QTest::newRow("not WAVE") << QByteArray(riff(fmt() + data)).replace(8, 4, "AVI ") << false;
        QTest::newRow("big-endian RIFX") << QByteArray(riff(fmt() + data)).replace(0, 4, "RIFX") << false;
        QTest::newRow("fmt not first") << riff(chunk("LIST", "INFOabcd") + fmt() + data) << false;
        QTest::newRow("fmt too short") << riff(chunk("fmt ", QByteArray(14, '\1')) + data) << false;
        QTest::newRow("float") << riff(fmt(3, 1, 22050, 32) + data) << false;
        QTest::newRow("extensible") << riff(fmt(0xFFFE, 1, 22050, 16, le16(22) + QByteArray(22, '\0')) + data) << false;
        QTest::newRow("ADPCM") << riff(fmt(2, 1, 22050, 4) + data) << false;
        QTest::newRow("12-bit") << riff(fmt(1, 1, 22050, 12) + data) << false;
        QTest::newRow("no channels") << riff(fmt(1, 0) + data) << false;
        QTest::newRow("rate zero") << riff(fmt(1, 1, 0) + data) << false;
        QTest::newRow("no data chunk") << riff(fmt()) << false;
        QTest::newRow("empty data") << riff(fmt() + chunk("data", {})) << false;
        QTest::newRow("data one byte short") << riff(fmt() + data).chopped(1) << false;
        QTest::newRow("data length huge") << riff(fmt() + "data" + le32(0xFFFFFFF0) + kSamples) << false;
        QTest::newRow("chunk length past end") << riff(fmt() + "LIST" + le32(0x7FFFFFFF) + data) << false;
        QByteArray many = fmt();
        for (int i = 0; i < 100; ++i)
            many += chunk("pad ", "xx");
        QTest::newRow("too many chunks before data") << riff(many + data) << false;
    }
    void check() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, playable);
        const QString path = m_dir.filePath("sound.wav");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        QCOMPARE(wavfile::isPlayable(path), playable);
    }

    void unreadable() {
        QVERIFY(!wavfile::isPlayable(m_dir.filePath("missing.wav")));
        QVERIFY(!wavfile::isPlayable(m_dir.path()));
        QVERIFY(!wavfile::isPlayable(QString()));
    }
};

QTEST_MAIN(TestWavFile)
#include "TestWavFile.moc"
