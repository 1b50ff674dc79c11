#pragma once

#include <QString>

namespace io {

// The path with every link and "." or ".." resolved, also for a file (or
// folders) not made yet: the nearest folder that exists is resolved, the
// rest is kept as written. Two paths name the same file when these agree.
QString realPath(const QString& path);

} // namespace io
