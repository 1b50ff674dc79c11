#include "MonitorProfile.h"

#include "Exception.h"
#include "SettingsKeys.h"
#include "TIniFile.h"
#include "text/IntText.h"

#include <algorithm>

using namespace settings;

MonitorProfile MonitorProfile::Load(const TIniFile& ini, const QString& defaultLogFile, QChar decimalSeparator) {
    MonitorProfile p;
    const int count = std::min(ini.ReadInteger(settings::Addresses, Count, 1), MaxAddresses);
    for (int i = 1; i <= count; ++i)
        p.Addresses << ini.ReadString(settings::Addresses, AddressKey(i), DefaultHost);
    p.Interval = ini.ReadInteger(Ping, settings::Interval, p.Interval);
    p.Timeout = ini.ReadInteger(Ping, settings::Timeout, p.Timeout);
    p.UseLogging = ini.ReadBool(Logging, settings::UseLogging, p.UseLogging);
    p.LogFile = ini.ReadString(Logging, settings::LogFile, defaultLogFile);
    p.Period = UsablePeriod(ini.ReadFloat(Logging, settings::Period, OneMinute, decimalSeparator));
    MonitorOptions& o = p.Options;
    o.LogfileLimitKb = ini.ReadString(Logging, settings::LogfileLimitKb, o.LogfileLimitKb);

    o.SoundFail = ini.ReadBool(WarningSound, settings::SoundFail, o.SoundFail);
    o.FailFile = ini.ReadString(WarningSound, settings::FailFile, o.FailFile);
    o.RepeatWarn = ini.ReadBool(WarningSound, settings::RepeatWarn, o.RepeatWarn);
    // The dialog's spin box holds 1..1000 seconds.
    o.RepeatIntervalSeconds =
        std::clamp(ini.ReadInteger(WarningSound, settings::RepeatInterval, o.RepeatIntervalSeconds), 1, 1000);
    o.SoundBack = ini.ReadBool(WarningSound, settings::SoundBack, o.SoundBack);
    o.BackFile = ini.ReadString(WarningSound, settings::BackFile, o.BackFile);
    o.LogChanges = ini.ReadBool(Logging, settings::LogChanges, o.LogChanges);
    o.LogAverages = ini.ReadBool(Logging, settings::LogAverages, o.LogAverages);
    o.PeriodAmount = ini.ReadString(Logging, settings::PeriodAmount, o.PeriodAmount);
    o.PeriodType = ini.ReadInteger(Logging, settings::PeriodType, o.PeriodType);
    o.LimitLogfile = ini.ReadBool(Logging, settings::LimitLogfile, o.LimitLogfile);
    o.PreferIPv6 = ini.ReadBool(Ping, settings::PreferIPv6, o.PreferIPv6);
    o.MinimiseToTray = ini.ReadBool(Desktop, settings::MinimiseToTray, o.MinimiseToTray);
    o.DesktopNotifications = ini.ReadBool(Desktop, settings::Notifications, o.DesktopNotifications);
    o.TraceEnabled = ini.ReadBool(settings::Trace, Enabled, o.TraceEnabled);
    o.TraceIntervalMs =
        std::clamp(ini.ReadInteger(settings::Trace, settings::Interval, o.TraceIntervalMs), 0, 3'600'000);
    p.OutageEchoes = std::max(1, ini.ReadInteger(Logging, settings::OutageEchoes, p.OutageEchoes));
    p.MetricsListen = ini.ReadString(Metrics, Listen, QString()).trimmed();
    p.OutagesWindow = ini.ReadString(Desktop, settings::OutagesWindow, QString()).trimmed();
    p.HistoryEnabled = ini.ReadBool(settings::History, Enabled, p.HistoryEnabled);
    // At least a day, at most the summaries' 400.
    p.HistoryKeepDays = std::clamp(ini.ReadInteger(settings::History, KeepDays, p.HistoryKeepDays), 1, 400);
    return p;
}

void MonitorProfile::Save(TIniFile& ini, QChar decimalSeparator) const {
    ini.WriteInteger(settings::Addresses, Count, static_cast<int>(Addresses.size()));
    for (int i = 0; i < Addresses.size(); ++i)
        ini.WriteString(settings::Addresses, AddressKey(i + 1), Addresses[i]);
    ini.WriteInteger(Ping, settings::Interval, Interval);
    ini.WriteInteger(Ping, settings::Timeout, Timeout);
    ini.WriteBool(Logging, settings::UseLogging, UseLogging);
    ini.WriteString(Logging, settings::LogFile, LogFile);
    ini.WriteFloat(Logging, settings::Period, Period, decimalSeparator);
    ini.WriteBool(Logging, settings::LogChanges, Options.LogChanges);
    ini.WriteBool(Logging, settings::LogAverages, Options.LogAverages);
    ini.WriteString(Logging, settings::PeriodAmount, Options.PeriodAmount);
    ini.WriteInteger(Logging, settings::PeriodType, Options.PeriodType);
    ini.WriteBool(Logging, settings::LimitLogfile, Options.LimitLogfile);
    ini.WriteString(Logging, settings::LogfileLimitKb, Options.LogfileLimitKb);
    ini.WriteBool(WarningSound, settings::SoundFail, Options.SoundFail);
    ini.WriteString(WarningSound, settings::FailFile, Options.FailFile);
    ini.WriteBool(WarningSound, settings::RepeatWarn, Options.RepeatWarn);
    ini.WriteInteger(WarningSound, settings::RepeatInterval, Options.RepeatIntervalSeconds);
    ini.WriteBool(WarningSound, settings::SoundBack, Options.SoundBack);
    ini.WriteString(WarningSound, settings::BackFile, Options.BackFile);
    ini.WriteBool(Ping, settings::PreferIPv6, Options.PreferIPv6);
    ini.WriteBool(Desktop, settings::MinimiseToTray, Options.MinimiseToTray);
    ini.WriteBool(Desktop, settings::Notifications, Options.DesktopNotifications);
    if (!OutagesWindow.isEmpty())
        ini.WriteString(Desktop, settings::OutagesWindow, OutagesWindow);
    // A file that never asked for a trace stays without the section.
    const QString absent = QStringLiteral("\x01");
    if (Options.TraceEnabled || ini.ReadString(settings::Trace, Enabled, absent) != absent)
        ini.WriteBool(settings::Trace, Enabled, Options.TraceEnabled);
    // The metrics address and the history's keys are set by hand in the
    // file and never written: a file without their sections stays without.
}

std::int32_t MonitorProfile::LimitBytes(QString* error) const {
    try {
        return settings::LimitBytes(inttext::StrToInt(Options.LogfileLimitKb));
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        return settings::LimitBytes(30);
    }
}
