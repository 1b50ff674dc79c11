// The main window's commands beside the monitoring itself.

#include "Forms.h"
#include "TMainForm.h"
#include "logform/TLogForm.h"

void TMainForm::LoggingButtonClick() {
    // Modal, but the timers go on: probes and alerts continue meanwhile.
    LogForm->exec();
}
