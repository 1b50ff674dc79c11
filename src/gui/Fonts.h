#pragma once

#include <QFont>

// The windows' fonts by pixel size: the window font is the closest installed
// sans-serif, the headings use an Arial-compatible face.
namespace fonts {

// The window font: sans-serif, 11 pixels, regular.
QFont windowFont();
// An Arial-compatible face (Liberation Sans where installed).
QFont arial(int pixelSize, bool bold, bool italic);

} // namespace fonts
