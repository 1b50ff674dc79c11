#include "TextEditorLookup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace texteditor {

namespace {

// The keys of one group of a desktop-entry style file (mimeapps.list,
// mimeinfo.cache, *.desktop); a later duplicate key does not replace the first.
QHash<QString, QString> readGroup(const QString& path, const QString& group) {
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inGroup && eq > 0) {
            const QString key = line.left(eq).trimmed();
            if (!keys.contains(key))
                keys.insert(key, line.mid(eq + 1).trimmed());
        }
    }
    return keys;
}

// A desktop entry's string value: \s, \n, \t, \r and \\ stand for their characters.
QString unescapeValue(const QString& value) {
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            result += u' ';
        else if (next == u'n')
            result += u'\n';
        else if (next == u't')
            result += u'\t';
        else if (next == u'r')
            result += u'\r';
        else if (next == u'\\')
            result += u'\\';
        else
            result += QString(u'\\') + next;
    }
    return result;
}

QStringList listValue(const QString& value) {
    return value.split(u';', Qt::SkipEmptyParts);
}

QStringList mimeappsFiles(const XdgDirs& dirs) {
    QStringList folders = dirs.configDirs;
    for (const QString& data : dirs.dataDirs)
        folders << data + QStringLiteral("/applications");
    QStringList files;
    for (const QString& folder : std::as_const(folders)) {
        for (const QString& desktop : dirs.desktops)
            files << folder + u'/' + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    }
    return files;
}

// The installed entry with this desktop file ID ("org.example.Edit.desktop";
// an ID with dashes may also lie in subfolders: "kde-edit.desktop" in kde/).
QString findEntry(const XdgDirs& dirs, const QString& id) {
    for (const QString& data : dirs.dataDirs) {
        const QString applications = data + QStringLiteral("/applications/");
        QString relative = id;
        for (;;) {
            if (QFileInfo(applications + relative).isFile())
                return applications + relative;
            const qsizetype dash = relative.indexOf(u'-');
            if (dash < 0)
                break;
            relative[dash] = u'/';
        }
    }
    return {};
}

QString findProgram(const QString& program) {
    if (program.contains(u'/'))
        return QFileInfo(program).isExecutable() ? program : QString();
    return QStandardPaths::findExecutable(program);
}

// The command of one desktop entry for `path`, if the entry is usable.
std::optional<Command> commandOfEntry(const QString& entryPath, const QString& path) {
    const QHash<QString, QString> entry = readGroup(entryPath, QStringLiteral("Desktop Entry"));
    if (entry.value(QStringLiteral("Type"), QStringLiteral("Application")) != QLatin1String("Application") ||
        entry.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;
    const QString tryExec = unescapeValue(entry.value(QStringLiteral("TryExec")));
    if (!tryExec.isEmpty() && findProgram(tryExec).isEmpty())
        return std::nullopt;
    std::optional<Command> command = expandExec(unescapeValue(entry.value(QStringLiteral("Exec"))), path);
    if (!command || findProgram(command->program).isEmpty())
        return std::nullopt;
    if (entry.value(QStringLiteral("Terminal")) == QLatin1String("true")) {
        const QString terminal = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
        if (terminal.isEmpty())
            return std::nullopt;
        command->arguments.prepend(command->program);
        command->arguments.prepend(QStringLiteral("-e"));
        command->program = terminal;
    }
    return command;
}

// Splits an Exec value at blanks; a double-quoted argument keeps its blanks,
// and inside it a backslash takes the next character literally.
std::optional<QStringList> splitExec(const QString& exec) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else if (c == u'\\' && i + 1 < exec.size())
                word += exec[++i];
            else
                word += c;
        } else if (c == u'"') {
            quoted = inWord = true;
        } else if (c == u' ' || c == u'\t') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words << word;
    return words;
}

} // namespace

XdgDirs XdgDirs::fromEnvironment() {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString home = QDir::homePath();
    const auto list = [&](const char* name, const QString& fallback) {
        const QString value = env.value(QString::fromLatin1(name));
        return (value.isEmpty() ? fallback : value).split(u':', Qt::SkipEmptyParts);
    };
    XdgDirs dirs;
    dirs.configDirs = list("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) +
                      list("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    dirs.dataDirs = list("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) +
                    list("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& desktop : list("XDG_CURRENT_DESKTOP", QString()))
        dirs.desktops << desktop.toLower();
    return dirs;
}

std::optional<Command> expandExec(const QString& exec, const QString& path) {
    const std::optional<QStringList> words = splitExec(exec);
    if (!words || words->isEmpty())
        return std::nullopt;
    Command command;
    bool fileGiven = false;
    for (const QString& word : *words) {
        // A file code standing alone is the file, whatever it holds.
        if (word == QLatin1String("%f") || word == QLatin1String("%F") || word == QLatin1String("%u") ||
            word == QLatin1String("%U")) {
            if (!fileGiven)
                command.arguments << path;
            fileGiven = true;
            continue;
        }
        if (word == QLatin1String("%i") || word == QLatin1String("%c") || word == QLatin1String("%k"))
            continue;
        // Within a word only %% remains; other codes are dropped.
        QString expanded;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != u'%' || i + 1 == word.size())
                expanded += word[i];
            else if (word[++i] == u'%')
                expanded += u'%';
        }
        if (command.program.isEmpty())
            command.program = expanded;
        else
            command.arguments << expanded;
    }
    if (command.program.isEmpty())
        return std::nullopt;
    if (!fileGiven)
        command.arguments << path;
    return command;
}

std::optional<Command> commandFor(const XdgDirs& dirs, const QString& path, const QString& mimeType) {
    QStringList candidates;
    const QStringList lists = mimeappsFiles(dirs);
    for (const char* group : {"Default Applications", "Added Associations"})
        for (const QString& list : lists)
            candidates << listValue(readGroup(list, QString::fromLatin1(group)).value(mimeType));
    for (const QString& data : dirs.dataDirs)
        candidates << listValue(
            readGroup(data + QStringLiteral("/applications/mimeinfo.cache"), QStringLiteral("MIME Cache"))
                .value(mimeType));
    for (const QString& id : std::as_const(candidates)) {
        const QString entry = findEntry(dirs, id);
        if (entry.isEmpty())
            continue;
        if (std::optional<Command> command = commandOfEntry(entry, path))
            return command;
    }
    return std::nullopt;
}

} // namespace texteditor
