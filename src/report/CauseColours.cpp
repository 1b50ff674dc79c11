#include "CauseColours.h"

#include "ledger/LedgerRow.h"

#include <algorithm>

namespace report {

const QList<QString>& causeOrder() {
    static const QList<QString> order{cause::Offline, cause::LocalNetwork,    cause::BeyondGateway,
                                      cause::Refused, cause::LocalHostSilent, cause::AfterWakeUp,
                                      QString()};
    return order;
}

QColor causeColour(const QString& name) {
    // Told apart in print and by most colour-blind readers: hue and lightness
    // both differ between neighbours.
    static const QList<QColor> colours{
        QColor(0x6a, 0x3d, 0x9a), // offline: purple
        QColor(0xe6, 0x8a, 0x00), // local network: orange
        QColor(0xc6, 0x28, 0x28), // beyond the gateway: red
        QColor(0x8d, 0x6e, 0x63), // refused: brown
        QColor(0x00, 0x89, 0x7b), // local host silent: teal
        QColor(0x1e, 0x6f, 0xc8), // after wake-up: blue
        QColor(0x75, 0x75, 0x75), // unknown: grey
    };
    const qsizetype index = causeOrder().indexOf(name);
    return index >= 0 ? colours.at(index) : QColor(0x37, 0x47, 0x4f);
}

QList<QString> sortedCauses(QList<QString> causes) {
    const auto rank = [](const QString& name) {
        const qsizetype index = causeOrder().indexOf(name);
        return index >= 0 ? index : causeOrder().size();
    };
    std::sort(causes.begin(), causes.end(), [&](const QString& a, const QString& b) {
        const qsizetype ra = rank(a);
        const qsizetype rb = rank(b);
        return ra != rb ? ra < rb : a < b;
    });
    return causes;
}

} // namespace report
