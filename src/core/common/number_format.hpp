// Number texts of the views, exports and readers: the general 15-digit form, fixed decimals,
// hexadecimal and calendar time.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quorbel {

// Up to 15 significant digits, no grouping, no trailing zeros; an exponent only for very large or
// very small magnitudes (1E+15, 1E-05). NaN and infinities as "NaN", "Infinity", "-Infinity".
std::string FormatGeneralNumber(double value, char decimalMark = '.');
// The same appended to a text, as the exports write their many values.
void AppendGeneralNumber(std::string& text, double value, char decimalMark = '.');
// Exactly `decimals` decimals, at least one integer digit ("0.000", "0.0").
std::string FormatFixed(double value, int decimals, char decimalMark = '.');
// Upper-case hexadecimal without leading zeros; none outside 0 to 4294967295 or for fractions.
std::optional<std::string> FormatHex(double value);
// "YYYY-MM-DD hh:mm:ss" for seconds since 1970, rounded to whole seconds; none when out of range.
std::optional<std::string> FormatEpochSeconds(double seconds);
// The UTC time "yyyy-MM-dd HH:mm:ss.mmm" (24-hour clock, milliseconds of the same reading) of
// a moment in years 1970 to 9999.
std::string FormatUtcStamp(std::chrono::system_clock::time_point time);
// The same for milliseconds since 1970.
std::string FormatUtcMilliseconds(long long milliseconds);

}  // namespace quorbel
