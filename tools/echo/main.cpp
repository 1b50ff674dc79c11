// linkvigil-echo: sends echoes with the program's own engine and prints one
// line per echo, to check that ICMP works here and for tests and benchmarks.

#include "EchoOptions.h"
#include "TraceRun.h"
#include "icmp/AddressText.h"
#include "icmp/Privileges.h"

#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

void printLine(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Better no echo at all than one sent with rights the tool should have given up.
// errno, when set, says why.
int privilegeFailure(const char* what) {
    const int error = errno;
    std::fprintf(stderr, "linkvigil-echo: could not %s (%s); stopping rather than running privileged.\n", what,
                 error ? std::strerror(error) : "the result did not check out");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    // A file capability (setcap) stays permitted, not effective, until the socket is opened.
    errno = 0;
    if (!privileges::lowerEffective())
        return privilegeFailure("lower its capabilities");
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    if (arguments.contains(QLatin1String("--help"))) {
        std::fputs(kEchoUsage, stdout);
        return 0;
    }
    QString error;
    const auto options = parseEchoOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "linkvigil-echo: %s\n%s", error.toUtf8().constData(), kEchoUsage);
        return 2;
    }

    if (options->trace)
        return runTrace(*options);

    std::unique_ptr<TICMP> icmp;
    try {
        icmp = std::make_unique<TICMP>(options->socket);
    } catch (const TICMPException& e) {
        std::fprintf(stderr,
                     "linkvigil-echo: %s: no ICMP socket could be opened.\n"
                     "Allow ping sockets for your group (sysctl -w net.ipv4.ping_group_range=\"0 2147483647\")\n"
                     "or give the program raw sockets (setcap cap_net_raw+ep linkvigil-echo).\n",
                     e.what());
        return 2;
    }
    errno = 0;
    if (!privileges::dropAll())
        return privilegeFailure("drop its capabilities");

    icmp->SetAddress(options->host);
    icmp->SetPreferIPv6(options->preferIPv6);
    icmp->Size = options->size;
    icmp->TTL = options->ttl;
    icmp->Flags = options->flags;
    icmp->Timeout = options->timeout;
    icmp->OnDisplay = [](TICMP*, const QString& msg) { printLine(QStringLiteral("display: ") + msg); };

    bool allAnswered = true;
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < options->count; ++i) {
        if (i > 0) {
            next += std::chrono::milliseconds(options->interval);
            std::this_thread::sleep_until(next);
        }
        const int result = icmp->SendEcho();
        const TIcmpEchoReply& reply = icmp->LastReply();
        // The sender in its canonical form; the unspecified address of the
        // echo's family when nothing came back.
        const QString from = icmp->LastReplyFrom().valid()    ? QString::fromStdString(icmp->LastReplyFrom().text())
                             : icmp->ResolvedAddress().isV6() ? QStringLiteral("::")
                                                              : inet::format(reply.Address);
        printLine(QStringLiteral("result=%1 status=%2 text=\"%3\" rtt=%4 from=%5 ttl=%6 bytes=%7")
                      .arg(result)
                      .arg(icmp->LastStatus())
                      .arg(icmp->StatusText())
                      .arg(reply.RoundTripTime)
                      .arg(from)
                      .arg(reply.Options.Ttl)
                      .arg(reply.DataSize));
        allAnswered = allAnswered && result > 0;
    }
    return allAnswered ? 0 : 1;
}
