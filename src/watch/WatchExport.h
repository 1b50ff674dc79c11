#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

struct WatchArguments;

// --export: the echoes kept in the history of one settings file's host for a
// period, written as CSV or JSON lines to a file or to standard output.
// Returns the exit status: 0 when written (an empty period of a host with a
// history included), 2 for a bad period or --format, settings that cannot be
// read, a host the history does not hold, or an output that cannot be
// written. Each problem is one line through `say`, as is the number of
// echoes written to a file.
int exportHistory(const WatchArguments& arguments, const QDateTime& now,
                  const std::function<void(const QString& line)>& say);
