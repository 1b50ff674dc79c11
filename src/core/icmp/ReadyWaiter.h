#pragma once

#include <functional>

class QEvent;
class QObject;

// Waits until a socket has something to read or an error queued, or until a
// time-out passes. Returns whether the socket is ready.
class IReadyWaiter {
public:
    virtual ~IReadyWaiter() = default;
    virtual bool waitReady(int fd, int timeoutMs) = 0;
    // Whether the last wait was given up, so that the caller should stop at
    // once rather than wait out its time-out: for good when the program is
    // ending, or this once when the wait was interrupted.
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
// afterwards, in its order, and input that comes before that is done waits
// behind it. Elsewhere (no application object, another thread) it polls like
// PollWaiter. When the application begins to quit during a wait, the wait
// ends at once and every later one returns at once too.
class EventLoopWaiter : public IReadyWaiter {
public:
    bool waitReady(int fd, int timeoutMs) override;
    bool abandoned() const override { return m_abandoned || m_interrupted; }

    // Ends the wait under way on this thread at once (the innermost, should
    // waits nest), for an event handled during it that must not wait for the
    // echo, such as Stop. That waitReady() returns false and abandoned() is
    // true until the next wait. Returns whether a wait was under way.
    static bool interruptWait();

    // Hands a held input event on, later, to its receiver.
    using InputReplay = std::function<void(QObject* receiver)>;
    // Takes down a held input event so that it can be handed on later; an
    // empty replay drops the event. Unset, replayClone() is used. Qt keeps
    // updating the points of pointer events after delivering them, even in
    // copies, so a front end with a pointer sets one that makes such events
    // anew from their values when they are handed on.
    using InputCopy = InputReplay (*)(const QEvent& event);
    static void setInputCopy(InputCopy copy);
    // Hands on a clone of the event.
    static InputReplay replayClone(const QEvent& event);
    // Hears of each input event as it is held back, with its receiver; it
    // may end the wait with interruptWait(). Returns the id that ends it.
    using InputWatch = std::function<void(QObject* receiver, const QEvent& event)>;
    static int watchHeldInput(InputWatch watch);
    static void unwatchHeldInput(int id);

private:
    bool m_abandoned = false;
    bool m_interrupted = false;
};
