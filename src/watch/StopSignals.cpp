#include "StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

bool StopSignals::block() {
    const sigset_t set = stopSet();
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

void StopSignals::unblock() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int StopSignals::pending() {
    // Both the thread's own and the process's waiting signals: kill(1)
    // sends to the process.
    sigset_t waiting;
    sigemptyset(&waiting);
    if (sigpending(&waiting) != 0)
        return 0;
    for (const int signalNumber : {SIGTERM, SIGINT})
        if (sigismember(&waiting, signalNumber) == 1)
            return signalNumber;
    return 0;
}

void StopSignals::endBy(int signalNumber) {
    std::signal(signalNumber, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signalNumber);
    // The waiting signal is delivered as soon as it is unblocked; raise()
    // covers one that was never sent.
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    std::raise(signalNumber);
    _exit(128 + signalNumber);
}

StopSignals::StopSignals() {
    const sigset_t set = stopSet();
    m_fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::readable);
}

StopSignals::~StopSignals() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void StopSignals::readable() {
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        emit stopRequested(static_cast<int>(info.ssi_signo));
}
