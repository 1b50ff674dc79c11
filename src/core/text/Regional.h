#pragma once

#include <QChar>

class QLocale;

// The separators that date, time and number texts use, as the user's region
// writes them.
struct RegionalSettings {
    QChar dateSeparator = u'/';
    QChar timeSeparator = u':';
    QChar decimalSeparator = u'.';

    // The separators of a locale: the first punctuation in its short date and
    // short time formats, and its decimal point. Where a format has none (the
    // C locale writes "d MMM yyyy"), the default above stays.
    static RegionalSettings fromLocale(const QLocale& locale);
};
