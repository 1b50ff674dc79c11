#pragma once

#include "ledger/LedgerRow.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

class QGridLayout;

// The sums over the last 24 hours, 7 days and 30 days, one column each:
// availability, number of outages, the longest, the down time and its part
// for each cause, and the time not watched. The value labels are named
// "lb<Metric>_<span>" (lbAvailability_24h, lbOutages_7d, lbLongest_30d,
// lbDowntime_24h, lbGaps_7d) and "lbCause_<span>_<cause>".
class TTotalsGrid : public QWidget {
    Q_OBJECT
public:
    explicit TTotalsGrid(QWidget* parent = nullptr);

    // Sums the rows over the spans that end at `now`.
    void showTotals(const QList<LedgerRow>& rows, const QDateTime& now, const QDateTime& watchedSince);

private:
    QGridLayout* m_grid;
};
