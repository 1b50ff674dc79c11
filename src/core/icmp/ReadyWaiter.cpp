#include "ReadyWaiter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <poll.h>

#include <algorithm>

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

    QEventLoop loop;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    // Errors queued on a ping socket raise POLLERR alone; event dispatchers
    // are not bound to report that as readable, so look now and then as well.
    QTimer errorCheck;
    QObject::connect(&errorCheck, &QTimer::timeout, &loop, [&] {
        if (poller.waitReady(fd, 0))
            loop.quit();
    });
    errorCheck.start(50);
    QElapsedTimer waited;
    waited.start();
    // A loop refuses to run once the application is quitting: then poll.
    if (loop.exec(QEventLoop::ExcludeUserInputEvents) < 0)
        return poller.waitReady(fd, static_cast<int>(std::max<qint64>(timeoutMs - waited.elapsed(), 0)));
    return poller.waitReady(fd, 0);
}
