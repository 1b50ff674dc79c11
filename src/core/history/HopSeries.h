#pragma once

#include <QString>

// The probes of a traced path are kept hop by hop, each hop as a series of
// its own beside the host's echoes: "HOST#N" for hop N. No host name or
// address has a '#', so these never meet a host's own series, and lists of
// the hosts a file holds pass them over.
namespace history {

inline QString hopSeries(const QString& host, int hop) {
    return host + u'#' + QString::number(hop);
}

inline bool isHopSeries(const QString& name) {
    return name.contains(u'#');
}

} // namespace history
