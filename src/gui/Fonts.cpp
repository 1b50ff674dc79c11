#include "Fonts.h"

#include <QStringList>

namespace fonts {

QFont windowFont() {
    // Liberation Sans is metric-compatible with the faces the layout was
    // measured with, so captions fit their pixel widths.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies(
        QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont arial(int pixelSize, bool bold, bool italic) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies(
        QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace fonts
