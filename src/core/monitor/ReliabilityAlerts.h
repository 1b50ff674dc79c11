#pragma once

#include "AlertCrossing.h"
#include "clock/Clock.h"
#include "echo/EchoSample.h"
#include "settings/MonitorProfile.h"
#include "text/Regional.h"

#include <QString>

#include <functional>

class ISoundPlayer;

// The reliability index of one watched host and its alerts: it moves with
// each counted reply, and its crossings of 30 % (falling) and 70 % (rising)
// play their sounds, start the repeating warning, change the status line
// and, when asked, write their log line.
class ReliabilityAlerts {
public:
    // The options and regional settings are the caller's and read at each
    // use; without a player the alerts make no sound.
    ReliabilityAlerts(const IClock& clock, const MonitorOptions& options, const RegionalSettings& regional,
                      ISoundPlayer* sound);

    int ReliabilityIndex = 0;
    bool ConnectionUp = true;

    struct Output {
        std::function<void(int percent)> progress;
        std::function<void(const QString& caption)> caption;
        std::function<void(const QString& message)> status;
        std::function<void(bool up, const QString& message)> changed;
        std::function<void(const AlertCrossing& crossing)> crossed;
        // The warning window with its message, its sound repeated every `ms`.
        std::function<void(const QString& message, int ms)> warning;
        std::function<void(const QString& line)> log;
    };
    Output out;

    // Watching begins: the index is full, the gauge starts empty.
    void Start();
    // A counted reply moves the index; the gauge and the caption follow.
    void TakeEcho(const EchoSample& echo);
    // Then the thresholds: `address` is the address the messages name, as
    // resolved; `logAddress` the one the log line names.
    void CheckThresholds(const EchoSample& echo, const QString& address, const QString& logAddress);
    // The repeating warning's tick.
    void RepeatWarning();

private:
    void announce(bool up, TDateTime now, const QString& message, const EchoSample& echo, const QString& logAddress);

    const IClock& m_clock;
    const MonitorOptions& m_options;
    const RegionalSettings& m_regional;
    ISoundPlayer* m_sound;
    RecentEchoes m_recent;
};
