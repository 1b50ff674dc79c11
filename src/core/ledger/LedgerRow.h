#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// One row of the outage ledger "Outages.csv": an outage of the watched link,
// or a gap in which the program could not watch it (asleep, held up, not
// running). Times are local, with their UTC offset.
struct LedgerRow {
    enum class Kind { Outage, Gap };

    Kind kind = Kind::Outage;
    QDateTime start;
    QDateTime end;
    qint64 durationMs = 0;
    QString host;        // as typed
    QString address;     // as resolved
    int echoesLost = 0;  // outages only
    QString firstStatus; // the status text of the first lost echo
    QString cause;       // the one seen most often while it lasted
    QStringList causesSeen;
    QString gateway;   // the route's gateway, empty on the local network
    QString interface; // the route's interface
    QString note;      // "ended by Stop", "end unknown: Linkvigil was stopped", ...
    // Where the path ended while the outage lasted, as the trace saw it:
    // the last hop that still answered and its number (0: not traced).
    QString lastHop;
    int lastHopNumber = 0;

    friend bool operator==(const LedgerRow&, const LedgerRow&) = default;
};

// The causes an outage can be put down to.
namespace cause {
inline const QString Offline = QStringLiteral("This computer is offline");
inline const QString LocalNetwork = QStringLiteral("Local network");
inline const QString BeyondGateway = QStringLiteral("Beyond the gateway");
inline const QString Refused = QStringLiteral("Refused on the way");
inline const QString LocalHostSilent = QStringLiteral("Host on the local network is silent");
inline const QString AfterWakeUp = QStringLiteral("after wake-up");
} // namespace cause
