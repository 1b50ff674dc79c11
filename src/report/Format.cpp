#include "Format.h"

#include "clock/LocalTime.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

QString twoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString durationText(qint64 ms) {
    if (ms <= 0)
        return QStringLiteral("0 s");
    if (ms < 10'000)
        return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
    const qint64 seconds = (ms + 500) / 1000;
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(twoDigits(seconds % 60));
    const qint64 minutes = seconds / 60;
    if (minutes < 24 * 60)
        return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(twoDigits(minutes % 60));
    const qint64 hours = minutes / 60;
    return QStringLiteral("%1 d %2 h").arg(hours / 24).arg(twoDigits(hours % 24));
}

QString availabilityText(double share) {
    if (std::isnan(share))
        return QStringLiteral("–");
    const double cut = std::floor(std::clamp(share, 0.0, 1.0) * 100'000.0 + 1e-7) / 1000.0;
    return QString::number(cut, 'f', 3) + QStringLiteral(" %");
}

QString stampText(const QDateTime& at) {
    if (!at.isValid())
        return {};
    const QDateTime local = at.toLocalTime();
    QString text = local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // In the hour that happens twice, the offset tells which one.
    if (localclock::isRepeated(at))
        text += u' ' + localclock::offsetText(local.offsetFromUtc());
    return text;
}

QString roundTripText(std::int64_t us) {
    return QString::number(double(us) / 1000.0, 'f', 3) + QStringLiteral(" ms");
}

QString lossText(qint64 lost, qint64 echoes) {
    if (echoes <= 0)
        return QStringLiteral("–");
    const double percent = 100.0 * double(lost) / double(echoes);
    if (lost > 0 && percent < 0.0005)
        return QStringLiteral("< 0.001 %");
    if (lost < echoes && percent >= 99.9995)
        return QStringLiteral("> 99.999 %");
    return QString::number(percent, 'f', 3) + QStringLiteral(" %");
}

QString zoneText(const QDateTime& from, const QDateTime& to) {
    QString name = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (name.isEmpty())
        name = from.toLocalTime().timeZoneAbbreviation();
    const auto offset = [](const QDateTime& at) {
        return QStringLiteral("UTC") + localclock::offsetText(at.toLocalTime().offsetFromUtc());
    };
    QString text = name + QStringLiteral(", ") + offset(from);
    for (const QDateTime& change : localclock::offsetChanges(from, to))
        text += QStringLiteral("; %1 from %2").arg(offset(change), stampText(change));
    return text;
}

QString dateText(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString kindText(LedgerRow::Kind kind) {
    return kind == LedgerRow::Kind::Gap ? QStringLiteral("Gap") : QStringLiteral("Outage");
}

QString causeText(const QString& cause) {
    return cause.isEmpty() ? QStringLiteral("Unknown cause") : cause;
}

QString causeText(const LedgerRow& row) {
    if (row.cause == cause::BeyondGateway && row.lastHopNumber > 0)
        return QStringLiteral("%1: the path ends after hop %2").arg(row.cause, lastHopText(row));
    return causeText(row.cause);
}

QString lastHopText(const LedgerRow& row) {
    if (row.lastHopNumber <= 0)
        return {};
    return QStringLiteral("%1 (%2)")
        .arg(row.lastHopNumber)
        .arg(row.lastHop.isEmpty() ? QStringLiteral("*") : row.lastHop);
}

QString routeText(const LedgerRow& row) {
    if (row.gateway.isEmpty())
        return row.interface;
    if (row.interface.isEmpty())
        return row.gateway;
    return row.gateway + QStringLiteral(" / ") + row.interface;
}

} // namespace report
