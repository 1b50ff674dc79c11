#include "IntText.h"

#include "Exception.h"

namespace inttext {

namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::int32_t> parse(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    bool sign = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        sign = true;
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    // A sign belongs to decimal digits only: "-$10" is no number.
    if (i == n || (hex && sign))
        return std::nullopt;

    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        const int digit = hex ? hexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i].unicode() - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (value > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
}

std::int32_t StrToInt(const QString& text) {
    if (const auto value = parse(text))
        return *value;
    throw Exception(QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value"));
}

} // namespace inttext
