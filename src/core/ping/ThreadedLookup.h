#pragma once

#include "AsyncLookup.h"
#include "icmp/HostResolver.h"

#include <memory>

class QObject;

// Runs each lookup on a thread of its own (a resolver call cannot be
// interrupted) and posts the answer to the starting thread's event loop.
// Cancelling only forgets the lookup: its late answer is dropped.
class ThreadedLookup : public IAsyncLookup {
public:
    explicit ThreadedLookup(std::shared_ptr<IHostResolver> resolver);
    ~ThreadedLookup() override;

    void setCompletion(Completion completion) override;
    std::uint64_t start(const QByteArray& name, bool preferIPv6, int* error) override;
    bool cancel(std::uint64_t id, int* error) override;

private:
    struct Mailbox;
    std::shared_ptr<IHostResolver> m_resolver;
    std::shared_ptr<Mailbox> m_mailbox; // from the first lookup on
    Completion m_completion;            // until then
    std::uint64_t m_lastId = 0;
};
