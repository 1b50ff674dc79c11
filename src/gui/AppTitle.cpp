#include "AppTitle.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString& storedTitle() {
    static QString title;
    return title;
}

} // namespace

QString TitleFromExecutable(const QString& path) {
    QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name.left(1) + name.mid(1).toLower();
}

QString ApplicationTitle() {
    if (storedTitle().isEmpty())
        storedTitle() = TitleFromExecutable(QCoreApplication::applicationFilePath());
    return storedTitle();
}

void SetApplicationTitle(const QString& title) {
    storedTitle() = title;
}
