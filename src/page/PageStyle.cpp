#include "PageStyle.h"

namespace page {

// The first one installed is used; Liberation comes with the packages.
QStringList sansFamilies() {
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans"),
            QStringLiteral("Noto Sans")};
}

QStringList monoFamilies() {
    return {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Mono"),
            QStringLiteral("Nimbus Mono PS")};
}

QFont sans(double points, bool bold) {
    QFont font;
    font.setFamilies(sansFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace page
