#include "DesktopShell.h"

#include "TextEditorLookup.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

bool DesktopShell::Open(const QString& target) {
    if (target.contains(QStringLiteral("://")))
        return QDesktopServices::openUrl(QUrl(target));
    // A PDF goes straight to its viewer: the generic opener starts whether
    // or not the desktop has one, and only tells on its standard error.
    if (target.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        const std::optional<texteditor::Command> viewer =
            texteditor::commandFor(texteditor::XdgDirs::fromEnvironment(), target, QStringLiteral("application/pdf"));
        return viewer && QProcess::startDetached(viewer->program, viewer->arguments);
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

// Not the generic opener: that picks a program by the file's name or
// contents, and a log named *.desktop or *.sh would be run, not read.
bool DesktopShell::OpenInTextEditor(const QString& path) {
    const std::optional<texteditor::Command> command =
        texteditor::commandFor(texteditor::XdgDirs::fromEnvironment(), path);
    return command && QProcess::startDetached(command->program, command->arguments);
}
