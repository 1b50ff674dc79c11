// The settings file: the main window's part of the load at start-up, and
// the save that writes every key.

#include "Exception.h"
#include "Forms.h"
#include "TApplication.h"
#include "TMainForm.h"
#include "logform/TFileNameEdit.h"
#include "logform/TLogForm.h"
#include "logform/TSpinEdit.h"
#include "ping/TPing.h"
#include "seams/IMessageBoxes.h"
#include "settings/SettingsKeys.h"
#include "settings/TIniFile.h"
#include "text/IntText.h"
#include "widgets/TTimer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

void TMainForm::LoadSettings() {
    using namespace settings;
    const TIniFile ini(SettingsFileName);
    // A settings file that cannot be read (a FIFO, a device) is named once;
    // the program goes on with its defaults.
    if (const QString error = ini.LoadError(); !error.isEmpty())
        TApplication::ShowException(error + QStringLiteral(": the default settings are used"));
    QStringList addresses;
    const int count = std::min(ini.ReadInteger(Addresses, Count, 1), MaxAddresses);
    for (int i = 1; i <= count; ++i)
        addresses << ini.ReadString(Addresses, AddressKey(i), DefaultHost);
    setRecentAddresses(addresses);
    Timer->SetInterval(ini.ReadInteger(settings::Ping, Interval, 1000));
    this->Ping->SetTimeout(ini.ReadInteger(settings::Ping, Timeout, 1000));
    LoggingEnabled = ini.ReadBool(Logging, UseLogging, false);
    LogFileName = ini.ReadString(Logging, LogFile, ProgramDirectory + QStringLiteral("Connect.log"));
    PeriodLength = UsablePeriod(ini.ReadFloat(Logging, Period, OneMinute, Regional().decimalSeparator));
    const QString limit = ini.ReadString(Logging, LogfileLimitKb, QStringLiteral("30"));
    try {
        LogLimitBytes = LimitBytes(inttext::StrToInt(limit));
    } catch (const Exception& e) {
        // The rest of the start-up goes on with the default limit.
        LogLimitBytes = LimitBytes(30);
        TApplication::ShowException(e.Message());
    }
}

void TMainForm::SaveButtonClick(QObject* Sender) {
    if (Sender &&
        Boxes().Ask(IMessageBoxes::Kind::Information,
                    QStringLiteral("This will save the application settings to an ini-file and will\r\nbe used again "
                                   "next time you start this application."),
                    IMessageBoxes::OK | IMessageBoxes::Cancel) != IMessageBoxes::OK)
        return;
    using namespace settings;
    // One replacement of the whole file: it holds the old settings or the new.
    TIniFile ini(SettingsFileName);
    ini.BeginUpdate();
    ini.WriteInteger(Addresses, Count, cbConnectTo->count());
    for (int i = 0; i < cbConnectTo->count(); ++i)
        ini.WriteString(Addresses, AddressKey(i + 1), cbConnectTo->itemText(i));
    ini.WriteInteger(settings::Ping, Interval, Timer->Interval());
    ini.WriteInteger(settings::Ping, Timeout, this->Ping->Timeout());
    ini.WriteBool(Logging, UseLogging, LoggingEnabled);
    ini.WriteString(Logging, LogFile, LogFileName);
    ini.WriteFloat(Logging, Period, PeriodLength, Regional().decimalSeparator);
    ini.WriteBool(Logging, LogChanges, LogForm->chLogChanges->isChecked());
    ini.WriteBool(Logging, LogAverages, LogForm->chLogAverages->isChecked());
    ini.WriteString(Logging, PeriodAmount, LogForm->edPeriod->text());
    ini.WriteInteger(Logging, PeriodType, LogForm->cbPeriod->currentIndex());
    ini.WriteBool(Logging, LimitLogfile, LogForm->chLimitKb->isChecked());
    ini.WriteString(Logging, LogfileLimitKb, LogForm->edLimitKb->text());
    ini.WriteBool(WarningSound, SoundFail, LogForm->chSoundFail->isChecked());
    ini.WriteString(WarningSound, FailFile, LogForm->edSoundFail->text());
    ini.WriteBool(WarningSound, RepeatWarn, LogForm->chbRepeatWarn->isChecked());
    ini.WriteInteger(WarningSound, RepeatInterval, LogForm->seRepeatInterval->value());
    ini.WriteBool(WarningSound, SoundBack, LogForm->chSoundBack->isChecked());
    ini.WriteString(WarningSound, BackFile, LogForm->edSoundBack->text());
    ini.Commit();
}
