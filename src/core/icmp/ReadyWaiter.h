#pragma once

// Waits until a socket has something to read or an error queued, or until a
// time-out passes. Returns whether the socket is ready.
class IReadyWaiter {
public:
    virtual ~IReadyWaiter() = default;
    virtual bool waitReady(int fd, int timeoutMs) = 0;
};

// Blocks the calling thread in poll().
class PollWaiter : public IReadyWaiter {
public:
    bool waitReady(int fd, int timeoutMs) override;
};

// On the application's thread, waits in a local event loop that leaves out
// user input, so windows keep painting and answering the desktop while an
// echo is out; input typed meanwhile is handled afterwards. Elsewhere (no
// application object, another thread) it polls like PollWaiter.
class EventLoopWaiter : public IReadyWaiter {
public:
    bool waitReady(int fd, int timeoutMs) override;
};
