#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal, delivered by the event loop. block()
// must run before any thread starts, so that no thread takes them the
// default way.
class StopSignals : public QObject {
    Q_OBJECT
public:
    static bool block();
    StopSignals();
    ~StopSignals() override;
    bool valid() const { return m_fd >= 0; }

signals:
    void stopRequested(int signalNumber);

private:
    void readable();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
