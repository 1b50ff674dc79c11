#include "LogFile.h"

#include "io/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

namespace logfile {

QString ResolvePath(const QString& programDirectory, const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    return QDir::cleanPath(programDirectory + name);
}

bool Append(const QString& path, const QString& line) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    file.write(bytes); // errors of the write itself are not reported
    return true;
}

qint64 Size(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() ? info.size() : -1;
}

namespace {

QList<QByteArray> splitLines(QByteArray text) {
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.append(text.mid(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

} // namespace

TrimResult Trim(const QString& path, qint64 limit) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return TrimResult::CannotOpen;
    QList<QByteArray> lines = splitLines(in.readAll());
    in.close();

    qint64 length = 0;
    for (const QByteArray& l : lines)
        length += l.size() + 2;
    qsizetype first = 0;
    while (length > 0.9 * static_cast<double>(limit) && first < lines.size()) {
        length -= lines[first].size() + 2;
        ++first;
    }

    QByteArray kept;
    for (qsizetype i = first; i < lines.size(); ++i)
        kept += lines[i] + "\r\n";
    return safewrite::ReplaceFile(path, kept) ? TrimResult::Done : TrimResult::CannotCreate;
}

} // namespace logfile
