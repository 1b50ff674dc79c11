#pragma once

#include "clock/Clock.h"

#include <QString>

#include <deque>

// One crossing of the alerts' thresholds as a value: the host whose echoes
// moved the index, where it stood and what the echoes since the crossing
// before were.
struct AlertCrossing {
    bool up = false;            // above 70 % (true) or below 30 % (false)
    QString host;               // as typed
    QString address;            // as resolved
    int percent = 0;            // the gauge's per cent
    TDateTime at = 0;           // local time
    int echoes = 0;             // counted since the crossing before (at most RecentEchoes::Kept)
    int lost = 0;               // of them
    bool allRecentLost = false; // the last RecentEchoes::Run of them all went unanswered
};

// The outcomes of the counted echoes since the last crossing, the newest
// RecentEchoes::Kept of them.
class RecentEchoes {
public:
    static constexpr int Kept = 100;
    // A link that lost this many echoes in a row, and nothing since, is lost.
    static constexpr int Run = 10;

    void add(bool answered) {
        m_answered.push_back(answered);
        if (m_answered.size() > Kept)
            m_answered.pop_front();
    }
    void clear() { m_answered.clear(); }
    // Fills in the crossing's share of lost echoes.
    void describe(AlertCrossing& crossing) const {
        crossing.echoes = static_cast<int>(m_answered.size());
        crossing.lost = 0;
        for (const bool answered : m_answered)
            crossing.lost += answered ? 0 : 1;
        crossing.allRecentLost = !m_answered.empty();
        int looked = 0;
        for (auto it = m_answered.rbegin(); it != m_answered.rend() && looked < Run; ++it, ++looked)
            crossing.allRecentLost = crossing.allRecentLost && !*it;
    }

private:
    std::deque<bool> m_answered;
};
