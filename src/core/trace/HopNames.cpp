#include "HopNames.h"

#include "ping/ReverseLookup.h"

HopNames::HopNames(IReverseLookup& lookup, int capacity, QObject* parent)
    : QObject(parent), m_lookup(lookup), m_capacity(std::max(1, capacity)) {
    m_lookup.setDone([this](const IpAddress& address, const QString& name) {
        const QString key = QString::fromStdString(address.text());
        const auto it = m_entries.find(key);
        if (it == m_entries.end() || it->answered)
            return;
        it->name = name;
        it->answered = true;
        emit named(key, name);
    });
}

HopNames::~HopNames() {
    m_lookup.setDone({});
}

QString HopNames::nameOf(const IpAddress& address) {
    if (!address.valid())
        return {};
    const QString key = QString::fromStdString(address.text());
    if (const auto it = m_entries.find(key); it != m_entries.end()) {
        it->age = ++m_clock;
        return it->name;
    }
    if (m_entries.size() >= m_capacity) {
        auto oldest = m_entries.begin();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->age < oldest->age)
                oldest = it;
        m_entries.erase(oldest);
    }
    m_entries.insert(key, {QString(), false, ++m_clock});
    m_lookup.lookUp(address);
    return {};
}
