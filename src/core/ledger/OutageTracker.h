#pragma once

#include "LedgerRow.h"
#include "clock/Stopwatch.h"

#include <QMap>

#include <memory>
#include <optional>

// Tells outages of the watched link from gaps in the watching. An outage
// begins with the first lost echo of a run of at least `outageEchoes` lost
// ones, at the moment that echo was sent, and ends with the next reply. A
// gap is time the program could not watch: the system slept (the boot-time
// clock ran on while the monotonic clock stood), or the program was held up
// (events further apart than three intervals and the time-out). An echo
// whose wait spans a gap counts as neither answered nor lost; the first
// outage after a sleep is put down to the wake-up.
class OutageTracker {
public:
    struct Settings {
        int outageEchoes = 2;
        int intervalMs = 1000;
        int timeoutMs = 1000;
    };
    class Listener {
    public:
        virtual ~Listener() = default;
        // A finished row, to be written.
        virtual void onTrackedRow(const LedgerRow& row) = 0;
        // The outage in progress when it begins or changes; null when it ends.
        virtual void onTrackedOpen(const LedgerRow* open) = 0;
    };
    // None, or one that outlives the tracker.
    Listener* out = nullptr;

    void setSettings(const Settings& settings) { m_settings = settings; }
    void setHost(const QString& host, const QString& address);

    // Each tick of the probe timer, sent echo and outcome is also an
    // observation: a gap since the one before is recorded first.
    void tick(const Moment& at);
    void echoSent(const Moment& at);
    // Returns whether the echo counts: false when a gap fell into its wait.
    bool echoDone(bool answered, const QString& status, const Moment& at);
    // What the local side looked like while echoes were being lost.
    void causeSeen(const QString& cause, const QString& gateway, const QString& interface,
                   const QString& note = QString());
    // Watching ends: an outage in progress ends with this note.
    void stop(const Moment& at, const QString& note);
    // The path to the host now ends after hop `number` at `address`, as a
    // trace tells; kept in the outage in progress, if there is one.
    void pathEnds(const QString& address, int number);

    bool inOutage() const { return m_row != nullptr; }
    // Echoes lost in a row so far.
    int lostInARow() const { return m_lost; }

private:
    void observe(const Moment& at);
    void recordGap(const Moment& from, const Moment& to, const QString& note);
    void endOutage(const Moment& at, const QString& note);
    void publishOpen();

    Settings m_settings;
    QString m_host;
    QString m_address;
    std::optional<Moment> m_last;
    std::optional<Moment> m_sent;
    bool m_gapDuringEcho = false;
    bool m_afterWake = false;
    int m_lost = 0;
    Moment m_firstLost;
    QString m_firstStatus;
    // The outage in progress; none between outages, as for most hosts most
    // of the time.
    std::unique_ptr<LedgerRow> m_row;
    QMap<QString, int> m_causeCounts;
};
