#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Whole numbers as typed into fields and stored in settings: leading blanks,
// then an optional sign and decimal digits, or hexadecimal digits after "$",
// "x", "X", "0x" or "0X". The whole text must be used and the value must fit
// 32 bits (hexadecimal up to FFFFFFFF, read as two's complement).
namespace inttext {

std::optional<std::int32_t> parse(const QString& text);

// parse(), or the error "'%s' is not a valid integer value".
std::int32_t StrToInt(const QString& text);

} // namespace inttext
