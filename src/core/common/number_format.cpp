// Number texts: the general 15-digit form, fixed decimals, hexadecimal and calendar time.
#include "common/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace quorbel {
namespace {

// The smallest magnitude that the general form writes with an exponent.
constexpr double kFifteenDigitLimit = 1e15;

std::optional<std::string> NonFiniteText(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    return std::nullopt;
}

std::string WithDecimalMark(std::string text, char decimalMark) {
    if (decimalMark != '.') {
        for (char& c : text) {
            if (c == '.')
                c = decimalMark;
        }
    }
    return text;
}

// Days since 1970-01-01 to a proleptic Gregorian date.
void CivilFromDays(long long days, long long& year, int& month, int& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

void AppendGeneralNumber(std::string& text, double value, char decimalMark) {
    if (auto nonFinite = NonFiniteText(value)) {
        text += *nonFinite;
        return;
    }
    char buffer[40];
    if (std::fabs(value) < kFifteenDigitLimit && std::trunc(value) == value) {
        // A whole number below 1E+15 (zero too, whatever its sign) has all its digits among the
        // 15 and no exponent; most telemetry fields are whole numbers, and this form is quicker.
        text.append(
            buffer,
            std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value)).ptr);
        return;
    }
    // Independent of the process locale: the decimal mark is put in below.
    char* end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    const std::size_t start = text.size();
    text.append(buffer, end);
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] == 'e')
            text[i] = 'E';  // 1E+15, 1E-05
        else if (text[i] == '.')
            text[i] = decimalMark;
    }
}

std::string FormatGeneralNumber(double value, char decimalMark) {
    std::string text;
    AppendGeneralNumber(text, value, decimalMark);
    return text;
}

std::string FormatFixed(double value, int decimals, char decimalMark) {
    if (auto text = NonFiniteText(value))
        return *text;
    char buffer[400];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
            .ptr;
    return WithDecimalMark(std::string(buffer, end), decimalMark);
}

std::optional<std::string> FormatHex(double value) {
    if (!(value >= 0 && value <= 4294967295.0) || value != std::floor(value))
        return std::nullopt;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return std::string(buffer);
}

std::optional<std::string> FormatEpochSeconds(double seconds) {
    // Years 1 to 9999 only.
    if (!std::isfinite(seconds) || seconds < -62135596800.0 || seconds > 253402300799.0) {
        return std::nullopt;
    }
    const long long total = std::llround(seconds);
    long long days = total / 86400;
    long long rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    long long year;
    int month;
    int day;
    CivilFromDays(days, year, month, day);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d %02lld:%02lld:%02lld", year, month, day,
                  rest / 3600, rest / 60 % 60, rest % 60);
    return std::string(buffer);
}

std::string FormatUtcStamp(std::chrono::system_clock::time_point time) {
    return FormatUtcMilliseconds(
        std::chrono::floor<std::chrono::milliseconds>(time).time_since_epoch().count());
}

std::string FormatUtcMilliseconds(long long milliseconds) {
    const long long seconds = milliseconds >= 0 ? milliseconds / 1000 : (milliseconds - 999) / 1000;
    const long long rest = milliseconds - seconds * 1000;
    const char buffer[] = {'.', static_cast<char>('0' + rest / 100),
                           static_cast<char>('0' + rest / 10 % 10),
                           static_cast<char>('0' + rest % 10), '\0'};
    return FormatEpochSeconds(static_cast<double>(seconds)).value_or("0000-00-00 00:00:00") +
           buffer;
}

}  // namespace quorbel
