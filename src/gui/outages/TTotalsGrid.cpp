#include "outages/TTotalsGrid.h"

#include "ledger/LedgerTotals.h"
#include "outages/Swatch.h"
#include "report/CauseColours.h"
#include "report/Format.h"
#include "report/Period.h"

#include <QGridLayout>
#include <QLabel>

#include <functional>

namespace {

QLabel* cell(QWidget* parent, const QString& text, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

TTotalsGrid::TTotalsGrid(QWidget* parent) : QWidget(parent), m_grid(new QGridLayout(this)) {
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(16);
    m_grid->setVerticalSpacing(2);
    showTotals({}, QDateTime(), QDateTime());
}

void TTotalsGrid::showTotals(const QList<LedgerRow>& rows, const QDateTime& now, const QDateTime& watchedSince) {
    // The causes differ from one call to the next: the grid is built anew.
    while (QLayoutItem* item = m_grid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    QList<ledger::Totals> columns;
    for (const report::Span& span : report::recentSpans())
        columns.append(ledger::totals(rows, now.addMSecs(-span.lengthMs), now, watchedSince));

    int line = 0;
    for (int c = 0; c < columns.size(); ++c) {
        QLabel* title = cell(this, report::recentSpans().at(c).label, Qt::AlignRight);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        m_grid->addWidget(title, line, c + 2);
    }
    ++line;
    const auto addLine = [&](const QString& name, const QString& caption, const QColor& colour,
                             const std::function<QString(const ledger::Totals&)>& value) {
        if (colour.isValid()) {
            auto* mark = new QLabel(this);
            mark->setPixmap(swatch(colour));
            m_grid->addWidget(mark, line, 0);
        }
        m_grid->addWidget(cell(this, caption, Qt::AlignLeft), line, 1);
        for (int c = 0; c < columns.size(); ++c) {
            QLabel* label = cell(this, value(columns.at(c)), Qt::AlignRight);
            label->setObjectName(name.arg(report::recentSpans().at(c).key));
            m_grid->addWidget(label, line, c + 2);
        }
        ++line;
    };
    addLine(QStringLiteral("lbAvailability_%1"), QStringLiteral("Availability"), QColor(),
            [](const ledger::Totals& t) { return report::availabilityText(t.availability); });
    addLine(QStringLiteral("lbOutages_%1"), QStringLiteral("Outages"), QColor(),
            [](const ledger::Totals& t) { return QString::number(t.outages); });
    addLine(QStringLiteral("lbLongest_%1"), QStringLiteral("Longest outage"), QColor(),
            [](const ledger::Totals& t) { return report::durationText(t.longestMs); });
    addLine(QStringLiteral("lbDowntime_%1"), QStringLiteral("Downtime"), QColor(),
            [](const ledger::Totals& t) { return report::durationText(t.downMs); });
    QList<QString> causes;
    for (const ledger::Totals& totals : std::as_const(columns))
        for (auto it = totals.downByCause.begin(); it != totals.downByCause.end(); ++it)
            if (!causes.contains(it.key()))
                causes.append(it.key());
    for (const QString& name : report::sortedCauses(causes))
        addLine(QStringLiteral("lbCause_%1_") + name, QStringLiteral("    ") + report::causeText(name),
                report::causeColour(name),
                [&](const ledger::Totals& t) { return report::durationText(t.downByCause.value(name)); });
    addLine(QStringLiteral("lbGaps_%1"), QStringLiteral("Not watching (gaps)"), QColor(),
            [](const ledger::Totals& t) { return report::durationText(t.gapMs); });
    m_grid->setColumnStretch(1, 1);
}
