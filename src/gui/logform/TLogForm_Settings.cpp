// The dialog's settings: its fill at creation, the options it hands the
// engine as they change, its activation and the OK processing that carries
// logging, period and size limit to the engine.

#include "Exception.h"
#include "TApplication.h"
#include "engine/MonitorEngine.h"
#include "logform/TFileNameEdit.h"
#include "logform/TLogForm.h"
#include "logform/TSpinEdit.h"
#include "seams/IMessageBoxes.h"
#include "settings/SettingsKeys.h"
#include "text/IntText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QShowEvent>

void TLogForm::FormCreate() {
    if (!m_engine)
        return;
    const MonitorOptions& o = m_engine->Options();
    // Setting a box to another state runs its click step, so the visibility
    // rules hold from the start. The options go to the engine once, whole.
    m_filling = true;
    chSoundFail->setChecked(o.SoundFail);
    edSoundFail->setText(o.FailFile);
    chbRepeatWarn->setChecked(o.RepeatWarn);
    seRepeatInterval->setValue(o.RepeatIntervalSeconds);
    chSoundBack->setChecked(o.SoundBack);
    edSoundBack->setText(o.BackFile);
    chLogChanges->setChecked(o.LogChanges);
    edLogFile->setText(m_engine->LogFileName);
    chLogAverages->setChecked(o.LogAverages);
    edPeriod->setText(o.PeriodAmount);
    cbPeriod->setCurrentIndex(o.PeriodType >= 0 && o.PeriodType < cbPeriod->count() ? o.PeriodType : -1);
    chLimitKb->setChecked(o.LimitLogfile);
    edLimitKb->setText(o.LogfileLimitKb);
    chMinimiseToTray->setChecked(o.MinimiseToTray);
    chNotifications->setChecked(o.DesktopNotifications);
    chPreferIPv6->setChecked(o.PreferIPv6);
    chTracePath->setChecked(o.TraceEnabled);
    m_filling = false;
    pushOptions();
}

MonitorOptions TLogForm::Options() const {
    // What the dialog has no control for stays as the engine has it.
    MonitorOptions o = m_engine ? m_engine->Options() : MonitorOptions();
    o.SoundFail = chSoundFail->isChecked();
    o.FailFile = edSoundFail->text();
    o.RepeatWarn = chbRepeatWarn->isChecked();
    o.RepeatIntervalSeconds = RepeatIntervalSeconds();
    o.SoundBack = chSoundBack->isChecked();
    o.BackFile = edSoundBack->text();
    o.LogChanges = chLogChanges->isChecked();
    o.LogAverages = chLogAverages->isChecked();
    o.LimitLogfile = chLimitKb->isChecked();
    o.PeriodAmount = edPeriod->text();
    o.PeriodType = cbPeriod->currentIndex();
    o.LogfileLimitKb = edLimitKb->text();
    o.MinimiseToTray = chMinimiseToTray->isChecked();
    o.DesktopNotifications = chNotifications->isChecked();
    o.PreferIPv6 = chPreferIPv6->isChecked();
    o.TraceEnabled = chTracePath->isChecked();
    return o;
}

void TLogForm::pushOptions() {
    if (m_engine && !m_filling)
        m_engine->SetOptions(Options());
}

// An unconfirmed change of the logging box is undone when the dialog is
// shown again, not each time it regains the focus (from the browse dialog,
// a message box or another program), which would undo the user's click.
void TLogForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormActivate();
    if (TrayAvailable)
        SetTrayAvailable(TrayAvailable());
    QDialog::showEvent(event);
}

void TLogForm::FormActivate() {
    if (m_engine)
        chUseLogging->setChecked(m_engine->LoggingEnabled);
}

void TLogForm::okProcessing() {
    if (!m_engine)
        return;
    MonitorEngine& engine = *m_engine;
    IMessageBoxes& boxes = TApplication::Boxes();
    try {
        // The file a person chose is the one written from now on and saved.
        // While logging is off nothing is being written: logging switched on
        // starts in the chosen file.
        const QString logFile = TFileNameEdit::unquoted(edLogFile->text());
        if (!logFile.isEmpty() && !engine.LoggingEnabled)
            engine.LogFileName = logFile;
        // 1. The switch acts under the old period and on the file in force,
        // so that "switched off" lands where "switched on" was written.
        engine.SetLogging(chUseLogging->isChecked());
        if (!logFile.isEmpty())
            engine.LogFileName = logFile;
        // 2.-6. The period: one hour unless an amount and a unit say otherwise.
        engine.PeriodLength = 1.0 / 24;
        std::int32_t amount = inttext::StrToInt(edPeriod->text());
        if (amount <= 0) {
            boxes.Ask(IMessageBoxes::Kind::Plain, QStringLiteral("Timeperiod must at least 1 second!"),
                      IMessageBoxes::OK);
            amount = 1;
        }
        edPeriod->setText(QString::number(amount));
        static const double unitsPerDay[] = {86400.0, 1440.0, 24.0, 1.0};
        const int unit = cbPeriod->currentIndex();
        if (unit >= 0 && unit < 4)
            engine.PeriodLength = amount / unitsPerDay[unit];
        // 7. The window on the new grid.
        engine.AlignToDay();
        engine.PeriodStart = engine.PeriodEnd - engine.PeriodLength;
        // 8. The size limit.
        engine.LogLimitBytes = settings::LimitBytes(inttext::StrToInt(edLimitKb->text()));
        // 9. Keep it for the next start?
        if (boxes.Ask(IMessageBoxes::Kind::Confirmation, QStringLiteral("Do you want to permanently save the changes?"),
                      IMessageBoxes::Yes | IMessageBoxes::No) == IMessageBoxes::Yes)
            emit saveRequested();
    } catch (const Exception& e) {
        TApplication::ShowException(e.Message());
    }
}
