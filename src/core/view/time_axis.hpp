// The chart's time axis: receive-time texts read as UTC seconds, and the chart's points placed at
// the receive times of their records, so that passes stand apart by their real gaps.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace quorbel {

struct ChartModel;

// Seconds since 1970-01-01 00:00:00 UTC of a receive time in either form a stamp gives:
// "YYYY-MM-DD hh:mm:ss" (numeric stamps, SatNOGS lines) or "yyyy-MM-dd HH:nn:ss.mmm UTC" (text
// stamps). None for any other text and for a date or time that does not exist.
std::optional<double> ParseReceiveTime(std::string_view text);

// Neighbouring points further apart than this belong to different passes.
inline constexpr double kPassGapSeconds = 300;

// One series on the time axis: its points in time order, key = seconds since 1970.
struct TimeAxisSeries {
    std::vector<double> keys;
    std::vector<double> values;
};

// The chart's points on the time axis. Points whose receive time gives no time are left out.
struct TimeAxis {
    std::vector<TimeAxisSeries> series;
    std::optional<double> first;  // the earliest and the latest receive time of the points shown
    std::optional<double> last;
    std::vector<double> gaps;  // the middle of every gap between two passes, in time order
    double barWidth = 1;       // seconds: most of the usual spacing of points within a pass
    int leftOut = 0;           // points without a time
};

// Places the chart's points at their times (ChartModel::times).
TimeAxis BuildTimeAxis(const ChartModel& chart);

}  // namespace quorbel
