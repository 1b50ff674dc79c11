#pragma once

#include "ledger/LedgerRow.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

// The texts the outage window and the report show for times, lengths and
// shares, the same in both.
namespace report {

// A length for reading, to two units: "0.4 s", "45 s", "12 min 05 s",
// "3 h 07 min", "2 d 04 h".
QString durationText(qint64 ms);
// A share 0..1 as a percentage with three decimals, cut rather than rounded
// so that any downtime at all shows below "100.000 %"; "–" for NaN (nothing
// was watched).
QString availabilityText(double share);
// "2026-11-02 14:05:03", local time; in the hour that happens twice when
// the clocks go back, with its UTC offset: "2026-10-25 02:30:00 +02:00".
QString stampText(const QDateTime& at);
// A round trip in milliseconds with three decimals: "14.203 ms".
QString roundTripText(std::int64_t us);
// The share of echoes lost as a percentage with three decimals; never
// "0.000 %" when any was lost nor "100.000 %" when any came back.
QString lossText(qint64 lost, qint64 echoes);
// The local time zone and its UTC offset over [from, to): "Europe/Berlin,
// UTC+01:00", the offset it changes to and when where the clocks change.
QString zoneText(const QDateTime& from, const QDateTime& to);
// "2026-11-02".
QString dateText(const QDate& date);
QString kindText(LedgerRow::Kind kind);
// The cause as shown: an empty one is "Unknown cause".
QString causeText(const QString& cause);
// An outage's cause as the row tells it: beyond the gateway, where the
// traced path ended ("Beyond the gateway: the path ends after hop 2
// (10.81.2.2)").
QString causeText(const LedgerRow& row);
// "2 (10.81.2.2)", or "" when the path was not traced.
QString lastHopText(const LedgerRow& row);
// "gateway / interface", either part left out when empty.
QString routeText(const LedgerRow& row);

} // namespace report
