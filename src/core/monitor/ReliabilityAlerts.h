#pragma once

#include "AlertCrossing.h"
#include "clock/Clock.h"
#include "echo/EchoSample.h"
#include "settings/MonitorProfile.h"
#include "text/Regional.h"

#include <QString>

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

    // What the index and its alerts tell.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void onAlertProgress(int percent) = 0;
        virtual void onAlertCaption(const QString& caption) = 0;
        virtual void onAlertStatus(const QString& message) = 0;
        virtual void onAlertChanged(bool up, const QString& message) = 0;
        virtual void onAlertCrossed(const AlertCrossing& crossing) = 0;
        // The warning window with its message, its sound repeated every `ms`.
        virtual void onAlertWarning(const QString& message, int ms) = 0;
        virtual void onAlertLog(const QString& line) = 0;
    };
    // None, or one that outlives the alerts.
    Listener* out = nullptr;

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
