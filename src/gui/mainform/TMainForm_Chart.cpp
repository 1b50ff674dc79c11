// The response-time chart's steps and its legend.

#include "TMainForm.h"
#include "ping/TPing.h"
#include "widgets/TChartBox.h"

#include <QLabel>

void TMainForm::UpdateLegend() {
    showLegendText(lbLegendTop, QString::asprintf("%d ms", Ping->Timeout()));
    showLegendText(lbLegendMid, QString::asprintf("%d ms", Ping->Timeout() / 2));
}

void TMainForm::ChartStartupFill() {
    Chart.StartupFill();
    FBox->update();
}

void TMainForm::ChartWaitingStep() {
    Chart.WaitingStep(ChartColumn, WaitTicks);
    FBox->update();
}

void TMainForm::ChartReplyStep(bool answered, std::uint32_t roundTrip) {
    Chart.ReplyStep(ChartColumn, WaitTicks, answered, roundTrip, Ping->Timeout());
    FBox->update();
}
