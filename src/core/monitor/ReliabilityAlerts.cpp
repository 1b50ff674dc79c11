#include "ReliabilityAlerts.h"

#include "Reliability.h"
#include "icmp/AddressText.h"
#include "seams/ISoundPlayer.h"
#include "text/Stamps.h"

ReliabilityAlerts::ReliabilityAlerts(const IClock& clock, const MonitorOptions& options,
                                     const RegionalSettings& regional, ISoundPlayer* sound)
    : m_clock(clock), m_options(options), m_regional(regional), m_sound(sound) {}

void ReliabilityAlerts::Start() {
    ReliabilityIndex = 1000;
    m_recent.clear();
    // The gauge starts empty; the index is full.
    if (out)
        out->onAlertProgress(0);
}

void ReliabilityAlerts::TakeEcho(const EchoSample& echo) {
    m_recent.add(echo.answered());
    ReliabilityIndex = reliability::next(ReliabilityIndex, echo.answered());
    const int percent = reliability::percent(ReliabilityIndex);
    if (out)
        out->onAlertProgress(percent);
    if (out)
        out->onAlertCaption(QString::asprintf("Connection %d%%", percent));
}

void ReliabilityAlerts::CheckThresholds(const EchoSample& echo, const QString& address, const QString& logAddress) {
    // The stamps are made only at a crossing, not for every reply.
    const TDateTime now = m_clock.Now();
    switch (reliability::crossing(ConnectionUp, ReliabilityIndex)) {
    case reliability::Crossing::Fell: {
        const QString message =
            QStringLiteral("%1: Connection %2 falls below 30%").arg(stamps::ShortStamp(now, m_regional), address);
        if (m_options.SoundFail) {
            if (m_sound)
                m_sound->PlaySound(m_options.FailFile);
            if (m_options.RepeatWarn && out)
                out->onAlertWarning(message, m_options.RepeatIntervalSeconds * 1000);
        }
        announce(false, now, message, echo, logAddress);
        break;
    }
    case reliability::Crossing::Rose:
        if (m_options.SoundBack && m_sound)
            m_sound->PlaySound(m_options.BackFile);
        announce(true, now,
                 QStringLiteral("%1: Connection %2 rises above 70%").arg(stamps::ShortStamp(now, m_regional), address),
                 echo, logAddress);
        break;
    case reliability::Crossing::None:
        break;
    }
}

void ReliabilityAlerts::RepeatWarning() {
    if (m_sound)
        m_sound->PlaySound(m_options.FailFile);
}

// Either crossing, after its sound: the status line, the connection's state
// as the alerts see it and, when asked for, the log line.
void ReliabilityAlerts::announce(bool up, TDateTime now, const QString& message, const EchoSample& echo,
                                 const QString& logAddress) {
    if (out)
        out->onAlertStatus(message);
    ConnectionUp = up;
    if (out)
        out->onAlertChanged(up, message);
    AlertCrossing crossing;
    crossing.up = up;
    crossing.host = echo.host;
    crossing.address = inet::format(echo.address);
    crossing.percent = reliability::percent(ReliabilityIndex);
    crossing.at = now;
    m_recent.describe(crossing);
    m_recent.clear();
    if (out)
        out->onAlertCrossed(crossing);
    if (m_options.LogChanges && out)
        out->onAlertLog(QStringLiteral("%1: Reliability for \"%2\" %3")
                            .arg(stamps::LongStamp(now, m_regional), logAddress,
                                 up ? QStringLiteral("rises above 70%") : QStringLiteral("falls below 30%")));
}
