#include "PathReading.h"

#include <algorithm>

namespace {

// Less than this between probes is chance, not a pattern: one probe in
// twenty.
constexpr double kNoticeable = 0.05;

} // namespace

QString PathReading::lossStartText() const {
    if (lossStartHop <= 0)
        return {};
    // A hop that never answered has no address to name.
    if (!lossStartAddress.valid())
        return QStringLiteral("loss starts at hop %1, where nothing answers").arg(lossStartHop);
    return QStringLiteral("loss starts at hop %1 (%2)")
        .arg(lossStartHop)
        .arg(QString::fromStdString(lossStartAddress.text()));
}

PathReading readPath(const std::vector<HopRecord>& hops, int lastHop) {
    PathReading reading;
    const int last = std::min<int>(lastHop, static_cast<int>(hops.size()));
    reading.limitsAnswers.assign(hops.size(), false);
    if (last <= 0)
        return reading;
    // The loss that carries on from each hop: what no later hop makes up.
    std::vector<double> carried(static_cast<std::size_t>(last));
    double least = 1.0;
    for (int h = last - 1; h >= 0; --h) {
        least = std::min(least, hops[static_cast<std::size_t>(h)].loss());
        carried[static_cast<std::size_t>(h)] = least;
    }
    for (int h = 0; h < last - 1; ++h) {
        const HopRecord& hop = hops[static_cast<std::size_t>(h)];
        reading.limitsAnswers[static_cast<std::size_t>(h)] =
            hop.sent() > 0 && hop.loss() - carried[static_cast<std::size_t>(h)] >= kNoticeable;
    }
    // Loss on the path shows at the end; it starts at the first hop that
    // carries on at least half of it. A hop that limits its answers tells
    // nothing either way (its own loss hides whether the path's starts
    // there): the next one that does not is named.
    const double atEnd = carried[static_cast<std::size_t>(last - 1)];
    if (atEnd < kNoticeable)
        return reading;
    for (int h = 0; h < last; ++h) {
        if (!reading.limitsAnswers[static_cast<std::size_t>(h)] && carried[static_cast<std::size_t>(h)] >= atEnd / 2) {
            reading.lossStartHop = h + 1;
            reading.lossStartAddress = hops[static_cast<std::size_t>(h)].lastAddress();
            break;
        }
    }
    return reading;
}
