// The value chart: the single-field chart and the three-field group chart of a store.
#include "view/value_chart.hpp"

#include <algorithm>
#include <limits>
#include <span>

#include "decode/field_table.hpp"
#include "store/record_store.hpp"
#include "view/time_axis.hpp"

namespace quorbel {
namespace {

// The time of day of a receive time "YYYY-MM-DD hh:mm:ss": the text from its 12th character.
std::string PointLabel(std::string_view rxTime) {
    return rxTime.size() > 11 ? std::string(rxTime.substr(11)) : std::string();
}

// Redraws the series of the fields over the store's records. When the chart already shows these
// fields of the same records (a live frame added one), only the new records' points are added:
// the result is the same as drawing all points afresh.
ChartDrawing DrawSeries(ChartModel& chart, const RecordStore& store, std::span<const int> fields,
                        const std::vector<ChartSeries>& heads) {
    std::array<int, 3> key{-1, -1, -1};
    std::copy(fields.begin(), fields.end(), key.begin());
    const ChartSource& drawn = chart.source;
    bool extend = drawn.store == &store && drawn.generation == store.Generation() &&
                  drawn.fields == key && drawn.points <= store.Count() &&
                  chart.series.size() == heads.size() &&
                  chart.labels.size() == static_cast<std::size_t>(drawn.points) &&
                  chart.times.size() == chart.labels.size();
    for (std::size_t s = 0; extend && s < heads.size(); ++s) {
        extend = chart.series[s].legend == heads[s].legend && chart.series[s].rgb == heads[s].rgb &&
                 chart.series[s].values.size() == chart.labels.size();
    }
    const int first = extend ? drawn.points + 1 : 1;
    if (!extend) {
        chart.series = heads;
        chart.labels.clear();
        chart.times.clear();
    }
    const auto count = static_cast<std::size_t>(store.Count());
    chart.labels.reserve(count);
    chart.times.reserve(count);
    for (ChartSeries& series : chart.series)
        series.values.reserve(count);
    for (int n = first; n <= store.Count(); ++n) {
        const std::string_view rxTime = store.RxTime(n);
        chart.labels.push_back(PointLabel(rxTime));
        chart.times.push_back(
            ParseReceiveTime(rxTime).value_or(std::numeric_limits<double>::quiet_NaN()));
        for (std::size_t s = 0; s < fields.size(); ++s)
            chart.series[s].values.push_back(store.Value(n, fields[s]));
    }
    chart.pointsPerLabel = PointsPerLabel(store.Count());
    chart.source = {&store, store.Generation(), key, store.Count()};
    ++chart.revision;
    return extend ? ChartDrawing::Extended : ChartDrawing::Rebuilt;
}

}  // namespace

int PointsPerLabel(int pointCount) {
    if (pointCount <= 100)
        return 0;
    // pointCount / 50 rounded to the nearest whole number, halves to the even one.
    int quotient = pointCount / 50;
    const int remainder = pointCount % 50;
    if (remainder > 25 || (remainder == 25 && quotient % 2 == 1))
        ++quotient;
    return quotient;
}

std::optional<std::array<int, 3>> FieldGroupOf(int index) {
    for (const auto& group : kFieldGroups) {
        for (int field : group) {
            if (field == index)
                return group;
        }
    }
    return std::nullopt;
}

void SetChartKind(ChartModel& chart, bool bars) {
    chart.kind = bars ? ChartKind::Bar : ChartKind::Line;
    chart.penWidth = bars ? 1 : 30;
}

ChartDrawing DrawFieldChart(ChartModel& chart, const RecordStore& store, int field,
                            const std::string& legend, bool bars) {
    SetChartKind(chart, bars);
    const int fields[] = {field};
    return DrawSeries(chart, store, fields, {{legend, std::nullopt, {}}});
}

ChartDrawing DrawGroupChart(ChartModel& chart, const RecordStore& store,
                            const std::array<int, 3>& fields,
                            const std::array<std::string, 3>& legends) {
    std::vector<ChartSeries> heads;
    for (std::size_t s = 0; s < fields.size(); ++s)
        heads.push_back({legends[s], kGroupColours[s], {}});
    return DrawSeries(chart, store, fields, heads);
}

}  // namespace quorbel
