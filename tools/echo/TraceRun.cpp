#include "TraceRun.h"

#include "icmp/EchoMux.h"
#include "icmp/GaiResolver.h"
#include "icmp/Privileges.h"
#include "trace/PathReading.h"
#include "trace/PathTrace.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString millis(std::int64_t micros) {
    return QString::number(double(micros) / 1000.0, 'f', 3);
}

void print(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// Counts the rounds and ends the event loop after the last one.
class Rounds final : public PathTrace::Listener {
public:
    explicit Rounds(int wanted) : m_wanted(wanted) {}
    bool reached = false;

    void onTraceProbe(const TraceProbe& probe) override {
        reached = reached || probe.outcome == TraceProbe::Outcome::Reached;
    }
    void onTraceRound(int round) override {
        if (round >= m_wanted)
            QCoreApplication::quit();
    }

private:
    int m_wanted;
};

void printHops(const PathTrace& trace) {
    const PathReading reading = readPath(trace.hops(), trace.lastHop());
    for (int h = 1; h <= trace.lastHop(); ++h) {
        const HopRecord& hop = trace.hops()[static_cast<std::size_t>(h - 1)];
        const QString head = QStringLiteral("hop=%1").arg(h);
        const QString counts = QStringLiteral("sent=%1").arg(hop.sent());
        const QString loss = QStringLiteral("loss=%1%").arg(QString::number(hop.loss() * 100.0, 'f', 1));
        const QString note =
            reading.limitsAnswers[static_cast<std::size_t>(h - 1)] ? QStringLiteral(" note=limits-answers") : QString();
        if (hop.count() == 0) {
            print(QStringLiteral("%1 address=* %2 received=0 %3%4").arg(head, counts, loss, note));
            continue;
        }
        for (int i = 0; i < hop.count(); ++i) {
            const HopRecord::Responder& r = hop.responder(i);
            print(QStringLiteral("%1 address=%2 %3 received=%4 %5 best=%6 avg=%7 worst=%8 jitter=%9%10")
                      .arg(head, QString::fromStdString(r.address.text()), counts)
                      .arg(r.answers)
                      .arg(loss, millis(r.bestMicros), millis(std::llround(r.meanMicros())), millis(r.worstMicros),
                           millis(std::llround(r.jitterMicros)), i == 0 ? note : QString()));
        }
    }
    if (reading.lossStartHop)
        print(QStringLiteral("path: ") + reading.lossStartText());
}

} // namespace

int runTrace(const EchoOptions& options) {
    GaiResolver resolver;
    const LookupAnswer answer = resolver.lookup(options.host.toUtf8(), options.preferIPv6);
    if (answer.error) {
        std::fprintf(stderr, "linkvigil-echo: cannot find %s (error %u)\n", options.host.toUtf8().constData(),
                     unsigned(answer.error));
        return 2;
    }
    int socketError = 0;
    std::unique_ptr<EchoMux> mux = EchoMux::open(options.socket, &socketError);
    if (!mux) {
        std::fprintf(stderr, "linkvigil-echo: no ICMP socket could be opened (%s).\n", std::strerror(socketError));
        return 2;
    }
    errno = 0;
    if (!privileges::dropAll()) {
        std::fprintf(stderr, "linkvigil-echo: could not drop its capabilities; stopping.\n");
        return 2;
    }
    Rounds rounds(options.count);
    PathTrace trace([&mux] { return mux->channel(); });
    trace.out = &rounds;
    PathTrace::Options traceOptions;
    traceOptions.intervalMs = options.interval;
    traceOptions.timeoutMs = options.timeout;
    traceOptions.dataSize = options.size;
    traceOptions.rounds = options.count;
    trace.start(answer.address, traceOptions);
    QCoreApplication::exec();
    trace.stop();
    printHops(trace);
    std::fflush(stdout);
    return rounds.reached ? 0 : 1;
}
