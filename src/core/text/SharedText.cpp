#include "SharedText.h"

#include <QMutex>
#include <QSet>

namespace text {

QString shared(const QString& text) {
    static QMutex lock;
    static QSet<QString> kept;
    const QMutexLocker locker(&lock);
    auto it = kept.constFind(text);
    if (it == kept.cend())
        it = kept.insert(text);
    return *it;
}

} // namespace text
