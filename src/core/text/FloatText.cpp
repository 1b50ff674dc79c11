#include "FloatText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace floattext {

namespace {

// Lowest and highest decimal exponent that general15() writes in fixed notation.
constexpr int FixedExponentMin = -4;
constexpr int FixedExponentMax = 14;
constexpr int SignificantDigits = 15;

QString withSeparator(const char* begin, const char* end, QChar decimalSeparator) {
    QString text = QString::fromLatin1(begin, end - begin);
    text.replace(QLatin1Char('.'), decimalSeparator);
    return text;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

QString fixed51(double value, QChar decimalSeparator) {
    // std::to_chars with a precision is defined as printf in the C locale,
    // so it rounds exactly as "%5.1f" does without reading the process locale.
    // The buffer holds the 309 integer digits of the largest double.
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 1);
    return withSeparator(buffer.data(), result.ptr, decimalSeparator).rightJustified(5, QLatin1Char(' '));
}

QString general15(double value, QChar decimalSeparator) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // Round to 15 significant digits first ("d.ddddddddddddddde-xx"), so a
    // carry into a new digit (9.99999999999999999 -> 1.0e+01) moves the
    // exponent before the layout is chosen.
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                      std::chars_format::scientific, SignificantDigits - 1);
    const std::string text(buffer.data(), result.ptr);
    const auto e = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    const int exponent = std::stoi(text.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    QString out;
    if (value < 0)
        out += QLatin1Char('-');
    if (exponent >= FixedExponentMin && exponent <= FixedExponentMax) {
        if (exponent < 0) {
            out += QLatin1Char('0') + decimalSeparator + QString(-exponent - 1, QLatin1Char('0'));
            out += QString::fromLatin1(digits);
        } else {
            const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() < integerDigits)
                digits.append(integerDigits - digits.size(), '0');
            out += QString::fromLatin1(digits.substr(0, integerDigits));
            if (digits.size() > integerDigits)
                out += decimalSeparator + QString::fromLatin1(digits.substr(integerDigits));
        }
    } else {
        out += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            out += decimalSeparator + QString::fromLatin1(digits.substr(1));
        out += QLatin1Char('E') + QString::number(exponent);
    }
    return out;
}

std::optional<double> parseFloat(const QString& text, QChar decimalSeparator) {
    qsizetype i = 0;
    qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    while (n > i && text[n - 1] == u' ')
        --n;

    // Copy the number into plain ASCII with "." as its point, checking the
    // form on the way, and leave the arithmetic to std::from_chars.
    std::string ascii;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            ascii += '-';
        ++i;
    }
    bool anyDigit = false;
    bool seenSeparator = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            anyDigit = true;
            ascii += static_cast<char>(c.unicode());
        } else if (c == decimalSeparator && !seenSeparator) {
            seenSeparator = true;
            ascii += '.';
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ascii += 'e';
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            ascii += static_cast<char>(text[i].unicode());
            ++i;
        }
        bool anyExponentDigit = false;
        for (; i < n && isDigit(text[i]); ++i) {
            anyExponentDigit = true;
            ascii += static_cast<char>(text[i].unicode());
        }
        if (!anyExponentDigit)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;

    double value = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size())
        return std::nullopt;
    return value;
}

} // namespace floattext
