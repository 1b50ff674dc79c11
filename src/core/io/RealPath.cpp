#include "RealPath.h"

#include <QDir>
#include <QFileInfo>

namespace io {

QString realPath(const QString& path) {
    if (path.isEmpty())
        return path;
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString rest;
    while (!info.exists() && !info.isRoot()) {
        rest = u'/' + info.fileName() + rest;
        info = QFileInfo(info.absolutePath());
    }
    const QString resolved = info.canonicalFilePath();
    return QDir::cleanPath((resolved.isEmpty() ? info.absoluteFilePath() : resolved) + rest);
}

} // namespace io
