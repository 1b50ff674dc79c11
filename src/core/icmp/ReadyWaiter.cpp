#include "ReadyWaiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <poll.h>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace {

// What the front end added to holding input back.
struct FrontEnd {
    EventLoopWaiter::InputCopy copy = nullptr;
    std::vector<std::pair<int, EventLoopWaiter::InputWatch>> watches;
    int lastId = 0;
};

FrontEnd& frontEnd() {
    static FrontEnd settings;
    return settings;
}

// The user's input, as the desktop sends it. Entering, leaving and hovering
// only change how widgets look and go on at once; Qt does not count leaving
// as input, and entering held back behind a leave that was not would leave a
// widget looking hovered.
bool isUserInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
        return false;
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod: // text from an input method, typed as keys are
        return true;
    default:
        return event->isInputEvent();
    }
}

// Holds back the user's input while an echo waits and hands it on, in its
// order, once no echo waits any more. Everything else goes on meanwhile:
// painting, timers, and the desktop's requests, such as closing a window
// (which Qt counts as user input, so a loop that leaves out user input would
// keep the window on screen until the echo ends).
//
// The order is kept across the wait's end: until everything held is handed
// on, newer input waits behind it, so a release that comes just after the
// wait follows its press instead of overtaking it. Input held when the next
// wait begins stays held until that one ends. What Qt makes of an event as it
// hands it on (a window's click becomes its widget's) goes on at once.
// Should an event open a dialog of its own, the rest is handed on in the
// dialog's loop, as Qt does with posted events, and the dialog then takes
// input as usual.
class InputQueue : public QObject {
public:
    static InputQueue& instance() {
        static QPointer<InputQueue> queue;
        if (!queue)
            queue = new InputQueue(QCoreApplication::instance());
        return *queue;
    }

    // For the length of one wait.
    class Wait {
    public:
        Wait() : m_queue(instance()) { m_queue.begin(); }
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;
        ~Wait() { m_queue.end(); }

    private:
        InputQueue& m_queue;
    };

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!isUserInput(event))
            return false;
        if (m_waits == 0) {
            if (m_held.empty())
                return false;
            if (!m_handingOn.empty() && m_handingOn.back() == QThread::currentThread()->loopLevel())
                return false;
        }
        hold(receiver, event);
        return true;
    }

private:
    explicit InputQueue(QObject* parent) : QObject(parent) {}

    struct Held {
        QPointer<QObject> receiver;
        EventLoopWaiter::InputReplay handOn;
    };

    void begin() {
        ++m_waits;
        filter(true);
    }

    void end() {
        --m_waits;
        if (m_waits == 0 && !m_held.empty())
            schedule();
        settle();
    }

    void hold(QObject* receiver, QEvent* event) {
        const FrontEnd& front = frontEnd();
        // A shortcut's check comes again when its key press is handed on.
        if (event->type() != QEvent::ShortcutOverride)
            if (auto replay = front.copy ? front.copy(*event) : EventLoopWaiter::replayClone(*event))
                m_held.push_back({receiver, std::move(replay)});
        // Taken: no parent widget gets it meanwhile, and no shortcut.
        event->accept();
        const auto watches = front.watches;
        for (const auto& [id, watch] : watches)
            watch(receiver, *event);
    }

    // Hands on what is held, after the echo: from the event loop.
    void schedule() {
        if (m_scheduled)
            return;
        m_scheduled = true;
        QMetaObject::invokeMethod(
            this, [this] { handOn(); }, Qt::QueuedConnection);
    }

    void handOn() {
        m_scheduled = false;
        while (m_waits == 0 && !m_held.empty()) {
            Held next = std::move(m_held.front());
            m_held.pop_front();
            if (!next.receiver)
                continue; // its window or widget is gone
            // Should this event open a loop of its own, the rest goes on there.
            if (!m_held.empty())
                schedule();
            m_handingOn.push_back(QThread::currentThread()->loopLevel());
            next.handOn(next.receiver);
            m_handingOn.pop_back();
        }
        settle();
    }

    void settle() {
        if (m_waits == 0 && m_held.empty() && m_handingOn.empty())
            filter(false);
    }

    void filter(bool on) {
        if (on == m_filtering)
            return;
        m_filtering = on;
        if (on)
            QCoreApplication::instance()->installEventFilter(this);
        else
            QCoreApplication::instance()->removeEventFilter(this);
    }

    std::deque<Held> m_held;
    int m_waits = 0;
    // The loop level of each event being handed on, innermost last.
    std::vector<int> m_handingOn;
    bool m_scheduled = false;
    bool m_filtering = false;
};

// The waits under way on this thread, so that one can be ended from outside.
struct RunningWait {
    QEventLoop* loop;
    RunningWait* outer;
    bool interrupted = false;
};

thread_local RunningWait* innermostWait = nullptr;

} // namespace

bool PollWaiter::waitReady(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    // An interrupted wait returns early; the caller recomputes what is left.
    const int rc = ::poll(&p, 1, timeoutMs);
    return rc > 0;
}

bool EventLoopWaiter::interruptWait() {
    RunningWait* wait = innermostWait;
    if (!wait)
        return false;
    wait->interrupted = true;
    wait->loop->quit();
    return true;
}

void EventLoopWaiter::setInputCopy(InputCopy copy) {
    frontEnd().copy = copy;
}

EventLoopWaiter::InputReplay EventLoopWaiter::replayClone(const QEvent& event) {
    return [copy = std::shared_ptr<QEvent>(event.clone())](QObject* receiver) {
        QCoreApplication::sendEvent(receiver, copy.get());
    };
}

int EventLoopWaiter::watchHeldInput(InputWatch watch) {
    FrontEnd& front = frontEnd();
    front.watches.emplace_back(++front.lastId, std::move(watch));
    return front.lastId;
}

void EventLoopWaiter::unwatchHeldInput(int id) {
    auto& watches = frontEnd().watches;
    std::erase_if(watches, [id](const auto& entry) { return entry.first == id; });
}

bool EventLoopWaiter::waitReady(int fd, int timeoutMs) {
    m_interrupted = false;
    PollWaiter poller;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return poller.waitReady(fd, timeoutMs);
    if (poller.waitReady(fd, 0))
        return true;
    if (m_abandoned)
        return false;

    QEventLoop loop;
    // The loop ends by our own doing, or because the application quits.
    bool ours = false;
    const auto done = [&] {
        ours = true;
        loop.quit();
    };
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, done);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, done);
    deadline.start(timeoutMs);
    // Errors queued on a ping socket raise POLLERR alone; event dispatchers
    // are not bound to report that as readable, so look now and then as well.
    QTimer errorCheck;
    QObject::connect(&errorCheck, &QTimer::timeout, &loop, [&] {
        if (poller.waitReady(fd, 0))
            done();
    });
    errorCheck.start(50);
    const InputQueue::Wait holdback;
    RunningWait running{&loop, innermostWait};
    innermostWait = &running;
    const int rc = loop.exec();
    innermostWait = running.outer;
    if (running.interrupted) {
        m_interrupted = true;
        return false;
    }
    // A loop refuses to run once the application is quitting, and quitting
    // ends every running loop: the program is ending, so stop waiting.
    if (rc < 0 || !ours)
        m_abandoned = true;
    return poller.waitReady(fd, 0);
}
