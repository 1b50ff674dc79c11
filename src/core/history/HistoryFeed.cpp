#include "history/HistoryFeed.h"

#include "engine/MonitorEngine.h"
#include "history/HistoryFile.h"
#include "history/HistoryShelf.h"
#include "history/HistoryStore.h"
#include "history/HopSeries.h"
#include "settings/MonitorProfile.h"

HistoryOptions history::optionsOf(const MonitorProfile& profile) {
    HistoryOptions options;
    options.keepDays = profile.HistoryKeepDays;
    return options;
}

EchoSample history::sampleOfHop(const QString& host, const TraceProbe& probe) {
    EchoSample sample;
    sample.sent.wall = QDateTime::fromMSecsSinceEpoch(probe.sentMs, Qt::LocalTime);
    sample.host = hopSeries(host, probe.hop);
    sample.address = probe.target;
    if (probe.answered()) {
        sample.outcome = EchoSample::Outcome::Answered;
        sample.status = 0;
        sample.roundTripMicros = probe.roundTripMicros;
    } else {
        sample.outcome =
            probe.outcome == TraceProbe::Outcome::Lost ? EchoSample::Outcome::TimedOut : EchoSample::Outcome::Error;
        sample.status = probe.status ? probe.status : 11010;
    }
    sample.from = probe.from;
    return sample;
}

void history::follow(MonitorEngine& engine, HistoryShelf& shelf, const HistoryOptions& options) {
    // The store of the log's folder, found again only when the log moves.
    struct Target {
        QString logName;
        HistoryStore* store = nullptr;
    };
    auto target = std::make_shared<Target>();
    const auto storeOf = [&engine, &shelf, options, target]() -> HistoryStore& {
        if (!target->store || engine.LogFileName != target->logName) {
            target->logName = engine.LogFileName;
            target->store = &shelf.storeAt(HistoryFile::pathForLog(engine.LogFilePath()), options);
        }
        return *target->store;
    };
    QObject::connect(&engine, &MonitorEngine::echoDone, &shelf,
                     [&shelf, storeOf](const EchoSample& echo) { shelf.add(storeOf(), echo); });
    // The path's probes as its hops' series, and its route changes.
    QObject::connect(&engine, &MonitorEngine::traceProbe, &shelf, [&engine, &shelf, storeOf](const TraceProbe& probe) {
        shelf.add(storeOf(), sampleOfHop(engine.WatchedHost(), probe));
    });
    QObject::connect(&engine, &MonitorEngine::routeChanged, &shelf, [&engine, storeOf](const RouteChange& change) {
        storeOf().addRouteChange(engine.WatchedHost(), change);
    });
}
