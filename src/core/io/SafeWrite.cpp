#include "SafeWrite.h"

#include <QSaveFile>

namespace safewrite {

bool ReplaceFile(const QString& path, const QByteArray& bytes) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile buffers small writes and would still commit a file whose
    // final flush failed: flush and look before committing.
    if (out.write(bytes) != bytes.size() || !out.flush() || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    return out.commit();
}

} // namespace safewrite
