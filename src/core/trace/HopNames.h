#pragma once

#include "icmp/IpAddress.h"

#include <QHash>
#include <QObject>
#include <QString>

class IReverseLookup;

// The names of the addresses a trace meets, each looked up once in the
// background; until its answer comes an address has no name. At most
// `capacity` are kept; beyond that the oldest are asked again when met.
class HopNames : public QObject {
    Q_OBJECT
public:
    explicit HopNames(IReverseLookup& lookup, int capacity = 512, QObject* parent = nullptr);
    ~HopNames() override;

    // The name of `address`, "" while unknown or when it has none; the
    // first time asks for it.
    QString nameOf(const IpAddress& address);

signals:
    // A name came (or the lookup said there is none).
    void named(const QString& address, const QString& name);

private:
    struct Entry {
        QString name;
        bool answered = false;
        quint64 age = 0;
    };

    IReverseLookup& m_lookup;
    int m_capacity;
    QHash<QString, Entry> m_entries;
    quint64 m_clock = 0;
};
