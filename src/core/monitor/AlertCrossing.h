#pragma once

#include "clock/Clock.h"

#include <QString>

#include <algorithm>
#include <bitset>
#include <cstddef>

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
        // A ring of bits, the oldest overwritten once it is full.
        m_lost.set(static_cast<std::size_t>(m_next), !answered);
        m_next = (m_next + 1) % Kept;
        m_count = std::min(m_count + 1, Kept);
    }
    void clear() {
        m_lost.reset();
        m_count = 0;
        m_next = 0;
    }
    // Fills in the crossing's share of lost echoes.
    void describe(AlertCrossing& crossing) const {
        crossing.echoes = m_count;
        crossing.lost = static_cast<int>(m_lost.count());
        crossing.allRecentLost = m_count > 0;
        for (int looked = 0; looked < std::min(m_count, Run); ++looked)
            crossing.allRecentLost =
                crossing.allRecentLost && m_lost.test(static_cast<std::size_t>((m_next - 1 - looked + Kept) % Kept));
    }

private:
    std::bitset<Kept> m_lost; // unset beyond the echoes kept
    int m_count = 0;
    int m_next = 0; // where the next one goes
};
