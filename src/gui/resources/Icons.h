#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own icons, drawn as SVG and compiled into the gui library.
// Each QIcon renders its SVG afresh for the size and pixel density asked
// (Qt's SVG icon engine), so buttons and window icons stay sharp on
// high-density screens.
namespace icons {

QIcon checkMark();
QIcon cross();
QIcon eyes();
QIcon floppy();
QIcon folder();
QIcon warning();
QIcon program();

// The icon drawn size x size logical pixels at a device pixel ratio: a
// pixmap of size * ratio device pixels with that ratio set. The default is
// the application's ratio, the highest among its screens.
QPixmap pixmap(const QIcon& icon, int size, qreal ratio = 0);

} // namespace icons
