#include "ping/QtReverseLookup.h"

#include <QHostInfo>

QtReverseLookup::QtReverseLookup(QObject* parent) : QObject(parent) {}

QtReverseLookup::~QtReverseLookup() {
    for (const int id : m_pending)
        QHostInfo::abortHostLookup(id);
}

void QtReverseLookup::lookUp(const IpAddress& address) {
    const QString text = QString::fromStdString(address.text());
    // The id is known only once lookupHost returns: the answer comes later,
    // through this thread's event loop, so the list is right by then.
    const int id = QHostInfo::lookupHost(text, this, [this, address, text](const QHostInfo& info) {
        m_pending.removeOne(info.lookupId());
        // A name the resolver could not find comes back as the address itself.
        const QString name =
            info.error() == QHostInfo::NoError && info.hostName() != text ? info.hostName() : QString();
        if (m_done)
            m_done(address, name);
    });
    m_pending.append(id);
}
