#pragma once

#include <QColor>
#include <QPixmap>

// A cause's colour as a small square beside its name, as the report shows it.
inline QPixmap swatch(const QColor& colour) {
    QPixmap pixmap(10, 10);
    pixmap.fill(colour);
    return pixmap;
}
