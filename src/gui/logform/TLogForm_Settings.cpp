// The dialog's settings: its load at creation, its activation and the OK
// processing that carries logging, period and size limit to the main window.

#include "Exception.h"
#include "Forms.h"
#include "TApplication.h"
#include "logform/TFileNameEdit.h"
#include "logform/TLogForm.h"
#include "logform/TSpinEdit.h"
#include "mainform/TMainForm.h"
#include "seams/IMessageBoxes.h"
#include "settings/SettingsKeys.h"
#include "settings/TIniFile.h"
#include "text/IntText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QShowEvent>

void TLogForm::FormCreate() {
    if (!MainForm)
        return;
    using namespace settings;
    const TIniFile ini(MainForm->SettingsFileName);
    // Setting a box to another state runs its click step, so the visibility
    // rules hold from the start.
    chSoundFail->setChecked(ini.ReadBool(WarningSound, SoundFail, true));
    edSoundFail->setText(ini.ReadString(WarningSound, FailFile, QStringLiteral("Carbrake.wav")));
    chbRepeatWarn->setChecked(ini.ReadBool(WarningSound, RepeatWarn, false));
    seRepeatInterval->setValue(ini.ReadInteger(WarningSound, RepeatInterval, 10));
    chSoundBack->setChecked(ini.ReadBool(WarningSound, SoundBack, true));
    edSoundBack->setText(ini.ReadString(WarningSound, BackFile, QStringLiteral("Chimes.wav")));
    chLogChanges->setChecked(ini.ReadBool(Logging, LogChanges, true));
    edLogFile->setText(MainForm->LogFileName);
    chLogAverages->setChecked(ini.ReadBool(Logging, LogAverages, true));
    edPeriod->setText(ini.ReadString(Logging, PeriodAmount, QStringLiteral("10")));
    const int type = ini.ReadInteger(Logging, PeriodType, 0);
    cbPeriod->setCurrentIndex(type >= 0 && type < cbPeriod->count() ? type : -1);
    chLimitKb->setChecked(ini.ReadBool(Logging, LimitLogfile, true));
    edLimitKb->setText(ini.ReadString(Logging, LogfileLimitKb, QStringLiteral("30")));
}

// An unconfirmed change of the logging box is undone when the dialog is
// shown again, not each time it regains the focus (from the browse dialog,
// a message box or another program), which would undo the user's click.
void TLogForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormActivate();
    QDialog::showEvent(event);
}

void TLogForm::FormActivate() {
    if (MainForm)
        chUseLogging->setChecked(MainForm->LoggingEnabled);
}

void TLogForm::okProcessing() {
    if (!MainForm)
        return;
    try {
        // The file a person chose is the one written from now on and saved.
        // While logging is off nothing is being written: logging switched on
        // starts in the chosen file.
        const QString logFile = TFileNameEdit::unquoted(edLogFile->text());
        if (!logFile.isEmpty() && !MainForm->LoggingEnabled)
            MainForm->LogFileName = logFile;
        // 1. The switch acts under the old period and on the file in force,
        // so that "switched off" lands where "switched on" was written.
        MainForm->SetLogging(chUseLogging->isChecked());
        if (!logFile.isEmpty())
            MainForm->LogFileName = logFile;
        // 2.-6. The period: one hour unless an amount and a unit say otherwise.
        MainForm->PeriodLength = 1.0 / 24;
        std::int32_t amount = inttext::StrToInt(edPeriod->text());
        if (amount <= 0) {
            MainForm->Boxes().Ask(IMessageBoxes::Kind::Plain, QStringLiteral("Timeperiod must at least 1 second!"),
                                  IMessageBoxes::OK);
            amount = 1;
        }
        edPeriod->setText(QString::number(amount));
        static const double unitsPerDay[] = {86400.0, 1440.0, 24.0, 1.0};
        const int unit = cbPeriod->currentIndex();
        if (unit >= 0 && unit < 4)
            MainForm->PeriodLength = amount / unitsPerDay[unit];
        // 7. The window on the new grid.
        MainForm->AlignToDay();
        MainForm->PeriodStart = MainForm->PeriodEnd - MainForm->PeriodLength;
        // 8. The size limit.
        MainForm->LogLimitBytes = settings::LimitBytes(inttext::StrToInt(edLimitKb->text()));
        // 9. Keep it for the next start?
        if (MainForm->Boxes().Ask(IMessageBoxes::Kind::Confirmation,
                                  QStringLiteral("Do you want to permanently save the changes?"),
                                  IMessageBoxes::Yes | IMessageBoxes::No) == IMessageBoxes::Yes)
            MainForm->SaveButtonClick(nullptr);
    } catch (const Exception& e) {
        TApplication::ShowException(e.Message());
    }
}
