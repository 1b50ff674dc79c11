#pragma once

#include "HopRecord.h"

#include <QString>

#include <vector>

// What the hops of a path say when read as people get it wrong: loss at a
// hop that the hops after it do not show is that router limiting its own
// answers, not loss on the path; loss on the path shows at every hop from
// where it starts to the end.
struct PathReading {
    // Per hop (index 0 is hop 1): it limits its answers.
    std::vector<bool> limitsAnswers;
    // The first hop from which loss carries on to the end of the path; 0
    // when the path loses nothing worth naming.
    int lossStartHop = 0;
    IpAddress lossStartAddress;

    // "loss starts at hop 3 (10.81.3.2)", "loss starts at hop 3, where
    // nothing answers" for a hop that never did, or "" when none does.
    QString lossStartText() const;
};

// Reads hops 1 .. `lastHop` (the traced host's hop, or the last one probed
// when it never answered) of `hops`.
PathReading readPath(const std::vector<HopRecord>& hops, int lastHop);
