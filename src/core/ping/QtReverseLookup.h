#pragma once

#include "ping/ReverseLookup.h"

#include <QObject>

// Reverse lookups through Qt's resolver threads: asking never waits.
class QtReverseLookup : public QObject, public IReverseLookup {
    Q_OBJECT
public:
    explicit QtReverseLookup(QObject* parent = nullptr);
    ~QtReverseLookup() override;

    void setDone(Done done) override { m_done = std::move(done); }
    void lookUp(const IpAddress& address) override;

private:
    Done m_done;
    QList<int> m_pending;
};
