// The time axis: receive times read back from their texts, points ordered by time, pass gaps and
// the bar width.
#include "view/time_axis.hpp"

#include <algorithm>
#include <cmath>

#include "view/value_chart.hpp"

namespace quorbel {
namespace {

constexpr double kBarShareOfSpacing = 0.8;

// `count` decimal digits at `at`; none when any of them is not a digit.
std::optional<int> ReadDigits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The milliseconds after the seconds: nothing, or a point and three digits, then nothing or
// " UTC". -1 for anything else.
int ReadMilliseconds(std::string_view rest) {
    if (rest.empty())
        return 0;
    if (rest.size() < 4 || rest[0] != '.')
        return -1;
    const std::optional<int> milliseconds = ReadDigits(rest, 1, 3);
    const std::string_view tail = rest.substr(4);
    if (!milliseconds || !(tail.empty() || tail == " UTC"))
        return -1;
    return *milliseconds;
}

}  // namespace

std::optional<double> ParseReceiveTime(std::string_view text) {
    // "YYYY-MM-DD hh:mm:ss": separators at fixed places, digits everywhere else.
    constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd";
    if (text.size() < kPattern.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kPattern.size(); ++i) {
        if (kPattern[i] != 'd' && text[i] != kPattern[i])
            return std::nullopt;
    }
    const auto year = ReadDigits(text, 0, 4);
    const auto month = ReadDigits(text, 5, 2);
    const auto day = ReadDigits(text, 8, 2);
    const auto hour = ReadDigits(text, 11, 2);
    const auto minute = ReadDigits(text, 14, 2);
    const auto second = ReadDigits(text, 17, 2);
    const int milliseconds = ReadMilliseconds(text.substr(kPattern.size()));
    if (!year || !month || !day || !hour || !minute || !second || milliseconds < 0)
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59)
        return std::nullopt;
    const long long days = DaysFromCivil(*year, *month, *day);
    const long long seconds = days * 86400 + *hour * 3600 + *minute * 60 + *second;
    return static_cast<double>(seconds) + milliseconds / 1000.0;
}

TimeAxis BuildTimeAxis(const ChartModel& chart) {
    TimeAxis axis;
    // The points with a time, in time order; points of the same time keep their record order.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < chart.times.size(); ++i) {
        if (std::isfinite(chart.times[i]))
            order.push_back(i);
        else
            ++axis.leftOut;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return chart.times[a] < chart.times[b]; });

    for (const ChartSeries& series : chart.series) {
        TimeAxisSeries& placed = axis.series.emplace_back();
        for (std::size_t i : order) {
            if (i >= series.values.size())
                continue;
            placed.keys.push_back(chart.times[i]);
            placed.values.push_back(series.values[i]);
        }
    }
    if (order.empty())
        return axis;
    axis.first = chart.times[order.front()];
    axis.last = chart.times[order.back()];

    std::vector<double> spacings;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const double before = chart.times[order[k - 1]];
        const double after = chart.times[order[k]];
        if (after - before > kPassGapSeconds)
            axis.gaps.push_back((before + after) / 2);
        else if (after > before)
            spacings.push_back(after - before);
    }
    if (!spacings.empty()) {
        // The median spacing: a few frames lost in a pass do not widen every bar.
        auto middle = spacings.begin() + static_cast<std::ptrdiff_t>(spacings.size() / 2);
        std::nth_element(spacings.begin(), middle, spacings.end());
        axis.barWidth = *middle * kBarShareOfSpacing;
    }
    return axis;
}

}  // namespace quorbel
