#include "Regional.h"

#include <QLocale>

namespace {

// The first character of a date or time format that is neither a field
// letter nor a blank. Quoted literal text ("'Kl'. H.mm", "HH 'h' mm") and
// invisible direction marks (Arabic formats put U+200F beside each "/") are
// passed over, because neither separates the fields.
QChar firstSeparator(const QString& format, QChar fallback) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c.isLetter() || c.isSpace() || c.category() == QChar::Other_Format)
            continue;
        return c;
    }
    return fallback;
}

} // namespace

RegionalSettings RegionalSettings::fromLocale(const QLocale& locale) {
    RegionalSettings settings;
    settings.dateSeparator = firstSeparator(locale.dateFormat(QLocale::ShortFormat), settings.dateSeparator);
    settings.timeSeparator = firstSeparator(locale.timeFormat(QLocale::ShortFormat), settings.timeSeparator);
    const QString point = locale.decimalPoint();
    if (!point.isEmpty())
        settings.decimalSeparator = point.front();
    return settings;
}
