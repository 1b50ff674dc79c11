#pragma once

#include "HostMetrics.h"

#include <QByteArray>

#include <vector>

namespace metrics {

// The Prometheus text exposition (format 0.0.4) of the hosts' metrics: each
// family's HELP and TYPE once, then one series per host (and status, and
// bucket), labelled with the host as typed and its resolved address.
QByteArray exposition(const std::vector<const HostMetrics*>& hosts);

} // namespace metrics
