#include "RecentAddresses.h"

namespace recent {

void insert(QStringList& items, const QString& text) {
    items.insert(0, text);
    for (qsizetype i = 1; i < items.size();) {
        if (items[i] == text)
            items.removeAt(i);
        else
            ++i;
    }
    // Once only: a longer list read from the settings shrinks by one per use.
    if (items.size() > kMaximum)
        items.removeLast();
}

} // namespace recent
