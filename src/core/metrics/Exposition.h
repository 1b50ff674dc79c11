#pragma once

#include "HostMetrics.h"

#include <QByteArray>

#include <cstddef>
#include <vector>

namespace metrics {

// The Prometheus text exposition (format 0.0.4) of the hosts' metrics: each
// family's HELP and TYPE once, then one series per host (and status, and
// bucket), labelled with the host as typed and its resolved address.
QByteArray exposition(const std::vector<const HostMetrics*>& hosts);

// The same text in pieces, for an answer that would be too large to hold
// whole: the hosts' values are copied when it is made, so that its size is
// known at once and every piece tells of the same moment.
class ExpositionStream {
public:
    explicit ExpositionStream(const std::vector<const HostMetrics*>& hosts);

    // The whole text's length in bytes.
    qint64 size() const { return m_size; }
    // The next piece, of about `bytes` (at least one host's series of a
    // family); empty once the text is written.
    QByteArray next(qsizetype bytes = 64 * 1024);

private:
    struct Cursor {
        int family = 0;
        std::size_t host = 0;
        bool headed = false; // the family's HELP and TYPE are written
    };
    bool write(Cursor& at, QByteArray& out, qsizetype bytes) const;

    std::vector<HostMetrics> m_hosts;
    Cursor m_cursor;
    qint64 m_size = 0;
    bool m_traced = false; // some host's path is traced: its families are written
};

} // namespace metrics
