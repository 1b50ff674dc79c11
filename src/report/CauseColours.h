#pragma once

#include <QColor>
#include <QList>
#include <QString>

// A fixed colour for each cause an outage can be put down to, so the same
// cause looks the same in every report.
namespace report {

QColor causeColour(const QString& cause);

// The known causes in the order legends list them, then "" (unknown).
const QList<QString>& causeOrder();

// The causes in `causes` sorted as causeOrder() lists them; causes it does
// not know (from a newer program) follow by name.
QList<QString> sortedCauses(QList<QString> causes);

} // namespace report
