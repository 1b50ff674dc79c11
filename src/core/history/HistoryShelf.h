#pragma once

#include "history/HistoryOptions.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class HistoryStore;
class IStopwatch;
struct EchoSample;

// The histories one program keeps: one store per History.db, however many
// hosts write to it (the hosts whose logs share a folder share its file),
// made when its first echo comes and flushed together once a second on the
// thread the shelf lives on. What a store has to say (a full disk, a file
// moved aside, writing again) goes out through `report`, once each.
class HistoryShelf : public QObject {
    Q_OBJECT
public:
    using Report = std::function<void(const QString& message)>;

    explicit HistoryShelf(const IStopwatch& clock, Report report = {}, QObject* parent = nullptr);
    // close().
    ~HistoryShelf() override;

    // The store of the file at `path`, made on first use with `options`; the
    // hosts that come later to the same file share it as it is.
    HistoryStore& storeAt(const QString& path, const HistoryOptions& options);
    // Keeps an echo in `store` (one of this shelf's).
    void add(HistoryStore& store, const EchoSample& echo);
    // Hands what came since the last flush to every store's writer.
    void flush();
    // Commits everything and closes every store: the program ends. The
    // shelf takes no echoes after it.
    void close();
    int stores() const { return static_cast<int>(m_stores.size()); }

signals:
    // Echoes were handed to the writers: a window that shows the history
    // may read again.
    void flushed();

private:
    const IStopwatch& m_clock;
    Report m_report;
    std::map<QString, std::unique_ptr<HistoryStore>> m_stores;
    QTimer m_timer;
    bool m_closed = false;
    bool m_added = false;
};
