#include "logform/QtFileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Qt reads the patterns from the parentheses at the end of each entry, so
// the entry is rebuilt from the pattern half of the pair. "*.*" means every
// file here, as it does on Windows; for Qt that is "*".
QString qtEntry(QString description, const QString& patterns) {
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    description.remove(trailingPatterns);
    QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : list) {
        pattern = pattern.trimmed();
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    }
    list.removeAll(QString());
    list.removeDuplicates();
    if (list.isEmpty())
        list << QStringLiteral("*");
    return description.trimmed() + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace

QString QtFileDialogs::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries << qtEntry(parts.at(i), parts.at(i + 1));
    // A description without its pattern half stays as it is.
    if (parts.size() % 2 == 1 && !parts.last().trimmed().isEmpty())
        entries << parts.last().trimmed();
    return entries.join(QStringLiteral(";;"));
}

QString QtFileDialogs::OpenFile(QWidget* parent, const QString& title, const QString& filter,
                                const QString& startDirectory, const QString& proposedName) {
    return choose(parent, title, filter, startDirectory, proposedName, false);
}

QString QtFileDialogs::ChooseNewOrExistingFile(QWidget* parent, const QString& title, const QString& filter,
                                               const QString& startDirectory, const QString& proposedName) {
    return choose(parent, title, filter, startDirectory, proposedName, true);
}

QString QtFileDialogs::choose(QWidget* parent, const QString& title, const QString& filter,
                              const QString& startDirectory, const QString& proposedName, bool newFileAllowed) {
    QFileDialog dialog(parent, title, startDirectory);
    dialog.setObjectName(QStringLiteral("BrowseDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (newFileAllowed) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    const QString qtFilter = toQtFilter(filter);
    if (!qtFilter.isEmpty())
        dialog.setNameFilter(qtFilter);
    if (!proposedName.isEmpty())
        dialog.selectFile(QFileInfo(proposedName).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}
