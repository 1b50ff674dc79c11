#pragma once

#include <QChar>
#include <QString>

#include <optional>

// Floating-point numbers as the log, the chart and the settings file write
// and read them. None of this depends on the process's C locale: the decimal
// separator is always the one passed in.
namespace floattext {

// printf "%5.1f": one decimal, right-aligned in at least five characters
// (" 97.3", "100.0", "1234.6").
QString fixed51(double value, QChar decimalSeparator);

// The shortest text with 15 significant digits: fixed notation from 0.0001
// up to below 1E15 ("0.000694444444444444", "1"), scientific otherwise
// ("5.78703703703704E-5", "1E20"); "NAN", "INF" and "-INF" for the rest.
QString general15(double value, QChar decimalSeparator);

// Spaces, an optional sign, digits with at most one decimal separator (the
// given one only) and an optional exponent ("E" or "e", optional sign,
// digits), then spaces. Anything else, or a magnitude a double cannot hold
// (1e400, and 1e-400, which is below the smallest subnormal), gives nullopt.
std::optional<double> parseFloat(const QString& text, QChar decimalSeparator);

} // namespace floattext
