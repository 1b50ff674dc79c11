#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own icons, drawn as SVG and compiled into the gui library.
namespace icons {

QIcon checkMark();
QIcon cross();
QIcon eyes();
QIcon floppy();
QIcon folder();
QIcon warning();
QIcon program();

// The icon drawn size x size (logical pixels).
QPixmap pixmap(const QIcon& icon, int size);

} // namespace icons
