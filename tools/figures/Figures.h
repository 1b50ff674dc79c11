#pragma once

#include "TApplication.h"

#include <QImage>

#include <vector>

// The guide's figures, each the picture of a real window.
namespace figures {

struct Figure {
    const char* name;
    QImage (*render)();
};

const std::vector<Figure>& all();
// Lets go of the windows the figures were made of, before the application.
void end();

} // namespace figures
