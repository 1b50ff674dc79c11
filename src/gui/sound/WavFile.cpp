#include "WavFile.h"

#include <QFile>
#include <QtEndian>

namespace wavfile {

namespace {

quint16 le16(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 le32(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Chunks between "fmt " and "data" (lists, cue points) are skipped, up to this many.
constexpr int kMaxChunks = 64;

} // namespace

bool isPlayable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 fileSize = file.size();

    // RIFF header, the fmt chunk's header and its 16 bytes of PCM fields.
    const QByteArray head = file.read(36);
    if (head.size() < 36 || QByteArrayView(head).first(4) != "RIFF" || QByteArrayView(head).sliced(8, 4) != "WAVE" ||
        QByteArrayView(head).sliced(12, 4) != "fmt ")
        return false;
    const quint32 fmtSize = le32(head, 16);
    const quint16 formatTag = le16(head, 20);
    const quint16 channels = le16(head, 22);
    const quint32 sampleRate = le32(head, 24);
    const quint16 bits = le16(head, 34);
    if (fmtSize < 16 || formatTag != 1 || channels == 0 || sampleRate == 0)
        return false;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;

    // Chunks are padded to an even length.
    qint64 at = 20 + qint64(fmtSize) + (fmtSize & 1);
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        if (!file.seek(at))
            return false;
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return false;
        const quint32 size = le32(header, 4);
        if (QByteArrayView(header).first(4) == "data")
            return size > 0 && size <= fileSize - at - 8;
        at += 8 + qint64(size) + (size & 1);
    }
    return false;
}

} // namespace wavfile
