// Reads and saves a large settings file the way the program does at
// start-up and on "Save Settings", and prints the CPU time of each.
//
// Usage: linkvigil-bench-settings [MEGABYTES]   (default 10)

#include "settings/SettingsKeys.h"
#include "settings/TIniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 10;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Linkvigil.ini"));
    {
        // A hundred addresses, the usual keys, and a large section of notes.
        QByteArray text = "[Addresses]\r\nCount=100\r\n";
        for (int i = 1; i <= 100; ++i)
            text += QStringLiteral("Address%1=host-%2.test\r\n").arg(i, 2, 10, QLatin1Char('0')).arg(i).toUtf8();
        text += "[Ping]\r\nInterval=1000\r\nTimeout=1000\r\n[Notes]\r\n";
        for (int i = 0; text.size() < qsizetype(megabytes) * 1024 * 1024; ++i)
            text += "note" + QByteArray::number(i) + "=" + QByteArray(80, 'n') + "\r\n";
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
    }

    using namespace settings;
    double start = cpuSeconds();
    QStringList addresses;
    {
        const TIniFile ini(path);
        const int count = ini.ReadInteger(Addresses, Count, 1);
        for (int i = 1; i <= count; ++i)
            addresses << ini.ReadString(Addresses, AddressKey(i), QString());
        ini.ReadInteger(Ping, Interval, 1000);
        ini.ReadInteger(Ping, Timeout, 1000);
    }
    const double load = cpuSeconds() - start;

    start = cpuSeconds();
    {
        TIniFile ini(path);
        ini.BeginUpdate();
        ini.WriteInteger(Addresses, Count, int(addresses.size()));
        for (int i = 0; i < addresses.size(); ++i)
            ini.WriteString(Addresses, AddressKey(i + 1), addresses[i]);
        ini.WriteInteger(Ping, Interval, 1000);
        ini.WriteInteger(Ping, Timeout, 2000);
        ini.Commit();
    }
    const double save = cpuSeconds() - start;
    std::printf("settings file of %d MB, %lld addresses: load %.3f s CPU, save %.3f s CPU\n", megabytes,
                static_cast<long long>(addresses.size()), load, save);
    return 0;
}
