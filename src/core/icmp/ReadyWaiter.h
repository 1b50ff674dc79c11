#pragma once

// Waits until a socket has something to read or an error queued, or until a
// time-out passes. Returns whether the socket is ready.
class IReadyWaiter {
public:
    virtual ~IReadyWaiter() = default;
    virtual bool waitReady(int fd, int timeoutMs) = 0;
    // Whether waiting has been given up for good (the program is ending), so
    // the caller should stop at once rather than wait out its time-out.
    virtual bool abandoned() const { return false; }
};

// Blocks the calling thread in poll().
class PollWaiter : public IReadyWaiter {
public:
    bool waitReady(int fd, int timeoutMs) override;
};

// On the application's thread, waits in a local event loop that holds back
// user input, so windows keep painting and answering the desktop (closing
// included) while an echo is out; input typed meanwhile is handled
// afterwards, in its order. Elsewhere (no
// application object, another thread) it polls like PollWaiter. When the
// application begins to quit during a wait, the wait ends at once and every
// later one returns at once too.
class EventLoopWaiter : public IReadyWaiter {
public:
    bool waitReady(int fd, int timeoutMs) override;
    bool abandoned() const override { return m_abandoned; }

private:
    bool m_abandoned = false;
};
