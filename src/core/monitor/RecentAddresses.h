#pragma once

#include <QStringList>

// The list of recently used hosts: newest first, at most ten after an
// insertion, compared case-sensitively.
namespace recent {

inline constexpr int kMaximum = 10;

// Puts `text` first, removes its other occurrences and, when more than ten
// items remain, the last one.
void insert(QStringList& items, const QString& text);

} // namespace recent
