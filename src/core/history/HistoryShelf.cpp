#include "history/HistoryShelf.h"

#include "history/HistoryStore.h"

HistoryShelf::HistoryShelf(const IStopwatch& clock, Report report, QObject* parent)
    : QObject(parent), m_clock(clock), m_report(std::move(report)) {
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &HistoryShelf::flush);
}

HistoryShelf::~HistoryShelf() {
    close();
}

HistoryStore& HistoryShelf::storeAt(const QString& path, const HistoryOptions& options) {
    auto found = m_stores.find(path);
    if (found == m_stores.end()) {
        found = m_stores.emplace(path, std::make_unique<HistoryStore>(path, m_clock, options, m_report)).first;
        if (!m_timer.isActive())
            m_timer.start();
    }
    return *found->second;
}

void HistoryShelf::add(HistoryStore& store, const EchoSample& echo) {
    if (m_closed)
        return;
    store.add(echo);
    m_added = true;
}

void HistoryShelf::flush() {
    if (m_closed)
        return;
    // Every store, with echoes or without: a writer that could not write
    // tries again, and slots that ended are filed.
    for (auto& [path, store] : m_stores)
        store->flush();
    if (m_added) {
        m_added = false;
        emit flushed();
    }
}

void HistoryShelf::close() {
    if (m_closed)
        return;
    m_timer.stop();
    for (auto& [path, store] : m_stores)
        store->close();
    m_closed = true;
}
