// The value chart: what it shows (one field's series, or a group's three) built from a store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/rgb.hpp"

namespace quorbel {

class RecordStore;

enum class ChartKind { Bar, Line };

struct ChartSeries {
    std::string legend;
    std::optional<Rgb> rgb;  // none: the chart's own default colour
    std::vector<double> values;
};

// Which records a chart was drawn from, so that a redraw after new records only adds their points.
struct ChartSource {
    const RecordStore* store = nullptr;
    std::uint64_t generation = 0;
    std::array<int, 3> fields{};
    int points = 0;
};

// What the value chart shows: one series, or three for a group.
struct ChartModel {
    ChartKind kind = ChartKind::Line;
    int penWidth = 1;  // 1 for thin bars, 30 for the thick line
    std::vector<ChartSeries> series;
    std::vector<std::string> labels;  // one per point
    // One per point: seconds since 1970 of its record's receive time, NaN when the text gives
    // none.
    std::vector<double> times;
    bool timeAxis = false;       // the points stand at their receive times instead of side by side
    int pointsPerLabel = 0;      // 0: automatic spacing
    std::uint64_t revision = 0;  // counts redraws
    ChartSource source;          // what the series were drawn from
};

// The colours of a group's three series, in series order.
inline constexpr std::array<Rgb, 3> kGroupColours{{{70, 130, 180}, {34, 139, 34}, {176, 48, 96}}};

// Points per tick and label: 0 (automatic) up to 100 points, else n / 50 rounded half to even.
int PointsPerLabel(int pointCount);
// The group a field belongs to, if any.
std::optional<std::array<int, 3>> FieldGroupOf(int index);

// How a draw came about: every point drawn afresh, or only the points of the records added since
// the chart last showed these fields of the store (a live frame).
enum class ChartDrawing { Rebuilt, Extended };

// The kind a single-field chart takes: bars (thin pen) or a thick line.
void SetChartKind(ChartModel& chart, bool bars);
// Redraws the chart with one field's values over the store's records: bars (thin pen) or a
// thick line.
ChartDrawing DrawFieldChart(ChartModel& chart, const RecordStore& store, int field,
                            const std::string& legend, bool bars);
// Redraws the chart with the three fields of a group in the group colours; the kind and pen
// stay as the last single-field chart left them.
ChartDrawing DrawGroupChart(ChartModel& chart, const RecordStore& store,
                            const std::array<int, 3>& fields,
                            const std::array<std::string, 3>& legends);

}  // namespace quorbel
