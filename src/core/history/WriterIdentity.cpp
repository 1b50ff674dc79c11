#include "history/WriterIdentity.h"

#include <QFile>

#include <unistd.h>

namespace {

QByteArray firstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine(4096).trimmed();
}

QString machineId() {
    const QByteArray id = firstLine(QStringLiteral("/etc/machine-id"));
    if (!id.isEmpty())
        return QString::fromLatin1(id);
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name);
}

QString bootId() {
    return QString::fromLatin1(firstLine(QStringLiteral("/proc/sys/kernel/random/boot_id")));
}

// Field 22 of /proc/PID/stat, after the command name in parentheses; 0 for
// a process that is not there.
std::int64_t startTicks(std::int64_t pid) {
    const QByteArray stat = firstLine(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Fields from the third on: the state is field 3, the start time field 22.
    return fields.size() > 19 ? fields[19].toLongLong() : 0;
}

} // namespace

WriterIdentity WriterIdentity::self() {
    WriterIdentity me;
    me.machine = machineId();
    me.boot = bootId();
    me.pid = getpid();
    me.started = startTicks(me.pid);
    return me;
}

std::optional<bool> WriterIdentity::running() const {
    const WriterIdentity here = self();
    if (machine != here.machine)
        return std::nullopt;
    if (boot != here.boot)
        return false;
    return started != 0 && startTicks(pid) == started;
}
