#include "ThreadedLookup.h"

#include <QMetaObject>
#include <QObject>

#include <mutex>
#include <system_error>
#include <thread>

// Shared with the lookup threads, which may outlive the lookup object: they
// post only while `receiver` is set, under the lock.
struct ThreadedLookup::Mailbox {
    std::mutex mutex;
    QObject* receiver = nullptr;
    Completion completion;
};

ThreadedLookup::ThreadedLookup(std::shared_ptr<IHostResolver> resolver) : m_resolver(std::move(resolver)) {}

ThreadedLookup::~ThreadedLookup() {
    if (!m_mailbox)
        return;
    QObject* receiver;
    {
        std::lock_guard lock(m_mailbox->mutex);
        receiver = m_mailbox->receiver;
        m_mailbox->receiver = nullptr;
    }
    // Answers already posted to it are discarded with it.
    delete receiver;
}

void ThreadedLookup::setCompletion(Completion completion) {
    if (m_mailbox)
        m_mailbox->completion = std::move(completion);
    else
        m_completion = std::move(completion);
}

std::uint64_t ThreadedLookup::start(const QByteArray& name, bool preferIPv6, int* error) {
    // Made at the first lookup: a host given as an address never needs one.
    if (!m_mailbox) {
        m_mailbox = std::make_shared<Mailbox>();
        m_mailbox->receiver = new QObject;
        m_mailbox->completion = std::move(m_completion);
        m_completion = nullptr;
    }
    const std::uint64_t id = ++m_lastId;
    try {
        std::thread([mailbox = m_mailbox, resolver = m_resolver, name, preferIPv6, id] {
            const LookupAnswer answer = resolver->lookup(name, preferIPv6);
            std::lock_guard lock(mailbox->mutex);
            if (!mailbox->receiver)
                return;
            QMetaObject::invokeMethod(
                mailbox->receiver,
                [mailbox, id, answer] {
                    if (mailbox->completion)
                        mailbox->completion(id, answer.error, answer.address);
                },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error&) {
        *error = 10055; // no buffer space: the system would not start another thread
        return 0;
    }
    return id;
}

bool ThreadedLookup::cancel(std::uint64_t, int*) {
    return true;
}
