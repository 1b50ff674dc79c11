#include "DesktopShell.h"

#include "TextEditorLookup.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

bool DesktopShell::Open(const QString& target) {
    const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
}

// Not the generic opener: that picks a program by the file's name or
// contents, and a log named *.desktop or *.sh would be run, not read.
bool DesktopShell::OpenInTextEditor(const QString& path) {
    const std::optional<texteditor::Command> command =
        texteditor::commandFor(texteditor::XdgDirs::fromEnvironment(), path);
    return command && QProcess::startDetached(command->program, command->arguments);
}
