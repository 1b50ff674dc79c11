#include "history/HistoryFeed.h"

#include "engine/MonitorEngine.h"
#include "history/HistoryFile.h"
#include "history/HistoryShelf.h"
#include "history/HistoryStore.h"
#include "settings/MonitorProfile.h"

HistoryOptions history::optionsOf(const MonitorProfile& profile) {
    HistoryOptions options;
    options.keepDays = profile.HistoryKeepDays;
    return options;
}

void history::follow(MonitorEngine& engine, HistoryShelf& shelf, const HistoryOptions& options) {
    // The store of the log's folder, found again only when the log moves.
    struct Target {
        QString logName;
        HistoryStore* store = nullptr;
    };
    auto target = std::make_shared<Target>();
    QObject::connect(&engine, &MonitorEngine::echoDone, &shelf,
                     [&engine, &shelf, options, target](const EchoSample& echo) {
                         if (!target->store || engine.LogFileName != target->logName) {
                             target->logName = engine.LogFileName;
                             target->store = &shelf.storeAt(HistoryFile::pathForLog(engine.LogFilePath()), options);
                         }
                         shelf.add(*target->store, echo);
                     });
}
