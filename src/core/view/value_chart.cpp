// The value chart: the single-field chart and the three-field group chart of a store.
#include "view/value_chart.hpp"

#include "decode/field_table.hpp"
#include "store/record_store.hpp"

namespace quorbel {
namespace {

// The time of day of a receive time "YYYY-MM-DD hh:mm:ss": the text from its 12th character.
std::string PointLabel(const std::string& rxTime) {
    return rxTime.size() > 11 ? rxTime.substr(11) : std::string();
}

std::vector<double> FieldValues(const RecordStore& store, int field) {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(store.Count()));
    for (int n = 1; n <= store.Count(); ++n) {
        values.push_back(store.Record(n).values[static_cast<std::size_t>(field)]);
    }
    return values;
}

// Points, labels and axis spacing for the store's records; the series are filled by the caller.
void FillPoints(ChartModel& chart, const RecordStore& store) {
    chart.labels.clear();
    chart.labels.reserve(static_cast<std::size_t>(store.Count()));
    for (int n = 1; n <= store.Count(); ++n)
        chart.labels.push_back(PointLabel(store.Record(n).rxTime));
    chart.pointsPerLabel = PointsPerLabel(store.Count());
    ++chart.revision;
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

void DrawFieldChart(ChartModel& chart, const RecordStore& store, int field,
                    const std::string& legend, bool bars) {
    chart.series.clear();
    chart.series.push_back({legend, std::nullopt, FieldValues(store, field)});
    chart.kind = bars ? ChartKind::Bar : ChartKind::Line;
    chart.penWidth = bars ? 1 : 30;
    FillPoints(chart, store);
}

void DrawGroupChart(ChartModel& chart, const RecordStore& store, const std::array<int, 3>& fields,
                    const std::array<std::string, 3>& legends) {
    chart.series.clear();
    for (std::size_t s = 0; s < fields.size(); ++s) {
        chart.series.push_back({legends[s], kGroupColours[s], FieldValues(store, fields[s])});
    }
    FillPoints(chart, store);
}

}  // namespace quorbel
