#pragma once

#include <QString>

// The application's title: captions the error box and plain messages. It
// starts as the executable's name (without folder, cut at its first dot,
// first letter kept, the rest in lower case); the monitor later replaces it
// with its "Connection %d%%" text.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
// The title made from an executable path.
QString TitleFromExecutable(const QString& path);
