#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal, delivered by the event loop. block()
// must run before any thread starts, so that no thread takes them the
// default way. Until the event loop runs, the start-up asks pending()
// between its steps and ends itself with endBy().
class StopSignals : public QObject {
    Q_OBJECT
public:
    static bool block();
    // Gives them back their default effect, for work that has nothing to
    // stop cleanly (and for the programs it starts, which inherit the mask).
    static void unblock();
    // SIGTERM or SIGINT when one is waiting to be taken, else 0; it stays
    // waiting.
    static int pending();
    // Ends the process by that signal's default effect, so that the parent
    // (a shell, systemd) sees it stopped by the signal it sent.
    [[noreturn]] static void endBy(int signalNumber);

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
