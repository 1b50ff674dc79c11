#include "ReadyWaiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <QPointer>

#include <poll.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

// Holds back the user's input while an echo waits and hands it on, in its
// order, when the wait is over. Everything else goes on meanwhile: painting,
// timers, and the desktop's requests, such as closing a window (which Qt
// counts as user input, so a loop that leaves out user input would keep
// the window on screen until the echo ends).
class InputHoldback : public QObject {
public:
    InputHoldback() { QCoreApplication::instance()->installEventFilter(this); }
    InputHoldback(const InputHoldback&) = delete;
    InputHoldback& operator=(const InputHoldback&) = delete;
    ~InputHoldback() override {
        QCoreApplication::instance()->removeEventFilter(this);
        for (auto& [receiver, event] : m_held)
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!event->isInputEvent() && type != QEvent::Shortcut && type != QEvent::ShortcutOverride)
            return false;
        m_held.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_held;
};

} // namespace

bool PollWaiter::waitReady(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    // An interrupted wait returns early; the caller recomputes what is left.
    const int rc = ::poll(&p, 1, timeoutMs);
    return rc > 0;
}

bool EventLoopWaiter::waitReady(int fd, int timeoutMs) {
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
    const InputHoldback holdback;
    // A loop refuses to run once the application is quitting, and quitting
    // ends every running loop: the program is ending, so stop waiting.
    if (loop.exec() < 0 || !ours)
        m_abandoned = true;
    return poller.waitReady(fd, 0);
}
