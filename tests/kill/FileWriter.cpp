// Writes one of the program's files over and over until it is killed: the
// connection log with its trims ("log FILE"), or the whole settings file
// ("settings FILE"). Started and killed by TestKillLoops.

#include "log/LogFile.h"
#include "settings/TIniFile.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    std::printf("ready\n");
    std::fflush(stdout);
    for (long i = 0;; ++i) {
        if (mode == QLatin1String("log")) {
            // Lines of 100 bytes with CR LF, numbered; trimmed at 30 KB.
            logfile::Append(path, QStringLiteral("line %1 ").arg(i, 12, 10, QLatin1Char('0')) + QString(80, u'x'));
            if (logfile::Size(path) > 30720)
                logfile::Trim(path, 30720);
        } else {
            TIniFile ini(path);
            ini.BeginUpdate();
            for (int key = 0; key < 20; ++key)
                ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k%1").arg(key), int(i));
            ini.Commit();
        }
    }
}
