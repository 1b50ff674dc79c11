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
    p.LogfileLimitKb = ini.ReadString(Logging, settings::LogfileLimitKb, p.LogfileLimitKb);

    p.SoundFail = ini.ReadBool(WarningSound, settings::SoundFail, p.SoundFail);
    p.FailFile = ini.ReadString(WarningSound, settings::FailFile, p.FailFile);
    p.RepeatWarn = ini.ReadBool(WarningSound, settings::RepeatWarn, p.RepeatWarn);
    p.RepeatInterval = ini.ReadInteger(WarningSound, settings::RepeatInterval, p.RepeatInterval);
    p.SoundBack = ini.ReadBool(WarningSound, settings::SoundBack, p.SoundBack);
    p.BackFile = ini.ReadString(WarningSound, settings::BackFile, p.BackFile);
    p.LogChanges = ini.ReadBool(Logging, settings::LogChanges, p.LogChanges);
    p.LogAverages = ini.ReadBool(Logging, settings::LogAverages, p.LogAverages);
    p.PeriodAmount = ini.ReadString(Logging, settings::PeriodAmount, p.PeriodAmount);
    p.PeriodType = ini.ReadInteger(Logging, settings::PeriodType, p.PeriodType);
    p.LimitLogfile = ini.ReadBool(Logging, settings::LimitLogfile, p.LimitLogfile);
    p.OutageEchoes = std::max(1, ini.ReadInteger(Logging, settings::OutageEchoes, p.OutageEchoes));
    p.MetricsListen = ini.ReadString(Metrics, Listen, QString()).trimmed();
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
    ini.WriteBool(Logging, settings::LogChanges, LogChanges);
    ini.WriteBool(Logging, settings::LogAverages, LogAverages);
    ini.WriteString(Logging, settings::PeriodAmount, PeriodAmount);
    ini.WriteInteger(Logging, settings::PeriodType, PeriodType);
    ini.WriteBool(Logging, settings::LimitLogfile, LimitLogfile);
    ini.WriteString(Logging, settings::LogfileLimitKb, LogfileLimitKb);
    ini.WriteBool(WarningSound, settings::SoundFail, SoundFail);
    ini.WriteString(WarningSound, settings::FailFile, FailFile);
    ini.WriteBool(WarningSound, settings::RepeatWarn, RepeatWarn);
    ini.WriteInteger(WarningSound, settings::RepeatInterval, RepeatInterval);
    ini.WriteBool(WarningSound, settings::SoundBack, SoundBack);
    ini.WriteString(WarningSound, settings::BackFile, BackFile);
    // The metrics address is set by hand in the file and never written:
    // a file without the section stays without it.
}

std::int32_t MonitorProfile::LimitBytes(QString* error) const {
    try {
        return settings::LimitBytes(inttext::StrToInt(LogfileLimitKb));
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        return settings::LimitBytes(30);
    }
}
