#pragma once

#include "icmp/GaiResolver.h"
#include "icmp/HostResolver.h"
#include "ping/AsyncLookup.h"

#include <QMap>
#include <QMetaObject>
#include <QObject>

#include <memory>
#include <vector>

// A resolver with fixed tables of names: `table` gives its answer as it
// stands, `hosts` a name's addresses in the resolver's order, chosen among
// as the system resolver does. Unknown names give 11001.
class FakeResolver : public IHostResolver {
public:
    LookupAnswer lookup(const QByteArray& name, bool preferIPv6) override {
        lookups.push_back(name);
        preferences.push_back(preferIPv6);
        if (const auto host = hosts.find(name); host != hosts.end())
            return {0, GaiResolver::choose(*host, preferIPv6)};
        const auto it = table.find(name);
        return it == table.end() ? LookupAnswer{11001, {}} : *it;
    }
    // An IPv4 answer, the address in network byte order.
    void add(const QByteArray& name, std::uint32_t address) { table.insert(name, {0, IpAddress::fromV4(address)}); }

    QMap<QByteArray, LookupAnswer> table;
    QMap<QByteArray, std::vector<IpAddress>> hosts;
    std::vector<QByteArray> lookups;
    std::vector<bool> preferences; // each lookup's preferIPv6
};

// Background lookups that finish only when the test says so: complete()
// posts the answer to the event loop, as the real service does.
class FakeLookup : public IAsyncLookup {
public:
    struct Started {
        std::uint64_t id;
        QByteArray name;
        bool cancelled = false;
        bool preferIPv6 = false;
    };

    void setCompletion(Completion c) override { *m_completion = std::move(c); }
    std::uint64_t start(const QByteArray& name, bool preferIPv6, int* error) override {
        if (startError) {
            *error = startError;
            return 0;
        }
        started.push_back({++m_lastId, name, false, preferIPv6});
        return m_lastId;
    }
    bool cancel(std::uint64_t id, int* error) override {
        if (cancelError) {
            *error = cancelError;
            return false;
        }
        for (auto& s : started)
            if (s.id == id)
                s.cancelled = true;
        return true;
    }
    // Delivers an answer for lookup `id` through the event loop: an IPv4
    // address in network byte order, or any address.
    void complete(std::uint64_t id, std::uint16_t error, std::uint32_t address = 0) {
        complete(id, error, error == 0 ? IpAddress::fromV4(address) : IpAddress{});
    }
    void complete(std::uint64_t id, std::uint16_t error, const IpAddress& address) {
        QMetaObject::invokeMethod(
            &m_receiver,
            [completion = m_completion, id, error, address] {
                if (*completion)
                    (*completion)(id, error, address);
            },
            Qt::QueuedConnection);
    }

    // The newest lookup, or an empty one (id 0, which matches nothing) when
    // none was started.
    Started last() const { return started.empty() ? Started{0, {}} : started.back(); }

    std::vector<Started> started;
    int startError = 0;
    int cancelError = 0;

private:
    QObject m_receiver;
    std::shared_ptr<Completion> m_completion = std::make_shared<Completion>();
    std::uint64_t m_lastId = 0;
};
