#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

void DesktopShell::Open(const QString& target) {
    const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    QDesktopServices::openUrl(url);
}

void DesktopShell::OpenInTextEditor(const QString& path) {
    // The log is plain text: its handler on the desktop is the text editor.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
