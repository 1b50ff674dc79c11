// The response-time chart's legend.

#include "TMainForm.h"

#include <QLabel>

void TMainForm::UpdateLegend() {
    showLegendText(lbLegendTop, QString::asprintf("%d ms", Engine->Timeout()));
    showLegendText(lbLegendMid, QString::asprintf("%d ms", Engine->Timeout() / 2));
}
