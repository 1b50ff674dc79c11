#pragma once

#include <QString>

namespace text {

// One copy of `text` for the whole process: a watcher of thousands of hosts
// in one folder builds the folder's paths once per host, and each would
// otherwise keep a copy of its own. The copies handed out share the kept
// one's characters; each distinct text is kept until the program ends, so
// this is for the few texts that many parts repeat, not for every text.
QString shared(const QString& text);

} // namespace text
