#pragma once

#include "clock/Clock.h"

#include <QString>

#include <cstdint>

// The settings file "Linkvigil.ini": its sections, keys and the rules that
// keep values read from it within what the program can use.
namespace settings {

inline const QString FileName = QStringLiteral("Linkvigil.ini");

inline const QString Addresses = QStringLiteral("Addresses");
inline const QString Count = QStringLiteral("Count");
inline const QString Ping = QStringLiteral("Ping");
inline const QString Interval = QStringLiteral("Interval");
inline const QString Timeout = QStringLiteral("Timeout");
inline const QString Logging = QStringLiteral("Logging");
inline const QString UseLogging = QStringLiteral("UseLogging");
inline const QString LogFile = QStringLiteral("LogFile");
inline const QString Period = QStringLiteral("Period");
inline const QString LogChanges = QStringLiteral("LogChanges");
inline const QString LogAverages = QStringLiteral("LogAverages");
inline const QString PeriodAmount = QStringLiteral("PeriodAmount");
inline const QString PeriodType = QStringLiteral("PeriodType");
inline const QString LimitLogfile = QStringLiteral("LimitLogfile");
inline const QString LogfileLimitKb = QStringLiteral("LogfileLimitKb");
inline const QString WarningSound = QStringLiteral("WarningSound");
inline const QString SoundFail = QStringLiteral("SoundFail");
inline const QString FailFile = QStringLiteral("FailFile");
inline const QString RepeatWarn = QStringLiteral("RepeatWarn");
inline const QString RepeatInterval = QStringLiteral("RepeatInterval");
inline const QString SoundBack = QStringLiteral("SoundBack");
inline const QString BackFile = QStringLiteral("BackFile");
inline const QString OutageEchoes = QStringLiteral("OutageEchoes");
inline const QString Metrics = QStringLiteral("Metrics");
inline const QString Listen = QStringLiteral("Listen");
inline const QString PreferIPv6 = QStringLiteral("PreferIPv6");
inline const QString Desktop = QStringLiteral("Desktop");
inline const QString MinimiseToTray = QStringLiteral("MinimiseToTray");
inline const QString Notifications = QStringLiteral("Notifications");
inline const QString OutagesWindow = QStringLiteral("OutagesWindow");
inline const QString History = QStringLiteral("History");
inline const QString Enabled = QStringLiteral("Enabled");
inline const QString KeepDays = QStringLiteral("KeepDays");
inline const QString Trace = QStringLiteral("Trace");

// The host an empty settings file starts with.
inline const QString DefaultHost = QStringLiteral("www.kernel.org");
// At most this many address keys are read, however large "Count" is.
inline constexpr int MaxAddresses = 100;
// The largest kilobyte count whose byte count fits 32 bits.
inline constexpr std::int32_t MaxLimitKb = 2097151;

// "Address01", "Address02", ... "Address100".
QString AddressKey(int position);

// A period read from the file: below one second (zero, negative, tiny or
// unreadable) it is one minute, so the averaging window's steps always end.
TDateTime UsablePeriod(TDateTime period);

// Bytes for a kilobyte count, the count kept to 0..MaxLimitKb.
std::int32_t LimitBytes(std::int32_t kilobytes);

} // namespace settings
