#include "Icons.h"

#include <QGuiApplication>

namespace icons {

QIcon checkMark() {
    return QIcon(QStringLiteral(":/icons/check.svg"));
}
QIcon cross() {
    return QIcon(QStringLiteral(":/icons/cross.svg"));
}
QIcon eyes() {
    return QIcon(QStringLiteral(":/icons/eyes.svg"));
}
QIcon floppy() {
    return QIcon(QStringLiteral(":/icons/floppy.svg"));
}
QIcon folder() {
    return QIcon(QStringLiteral(":/icons/folder.svg"));
}
QIcon warning() {
    return QIcon(QStringLiteral(":/icons/warning.svg"));
}
QIcon program() {
    return QIcon(QStringLiteral(":/icons/program.svg"));
}

QPixmap pixmap(const QIcon& icon, int size, qreal ratio) {
    if (!(ratio > 0))
        ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    return icon.pixmap(QSize(size, size), ratio);
}

} // namespace icons
