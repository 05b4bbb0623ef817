// The value chart: field selection, the single-field chart and the three-field group chart.
#include "view/value_chart.hpp"

#include "decode/field_table.hpp"
#include "shell/app_state.hpp"
#include "view/detail_view.hpp"

namespace quorbel {
namespace {

constexpr std::array<Rgb, 3> kGroupColours{{{70, 130, 180}, {34, 139, 34}, {176, 48, 96}}};

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

const RecordStore& StoreOf(const AppState& app, int field) {
    return IsSensorField(field) ? app.sensor : app.telemetry;
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

void Option1_Click(AppState& app, int index) {
    if (index < 0 || index >= kFieldCount)
        return;
    WindowModel& ui = app.ui;
    const auto selected = static_cast<std::size_t>(index);
    app.selectedField = index;
    ui.Frame1 = ui.Label1[selected].empty()
                    ? ui.Option1[selected]
                    : ui.Option1[selected] + " (" + ui.Label1[selected] + ")";
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        ui.Text1BackColor[i] = i == selected ? kLightYellow : kWhite;
        if (i != selected)
            ui.Option1Value[i] = false;
    }
    if (index >= 1)
        ui.HScroll1.SetMax(StoreOf(app, index).Count());
    ui.Text2 = NavigationText(ui.HScroll1.value, ui.HScroll1.max);
    HScroll1_Change(app);

    if (app.platform.IsGroupModifierHeld()) {
        if (auto group = FieldGroupOf(index)) {
            ChartFieldTrio(app, StoreOf(app, index), (*group)[0], (*group)[1], (*group)[2]);
        }
    } else {
        ChartField(app, index);
    }
}

void ClickFieldSelector(AppState& app, int index) {
    if (index < 0 || index >= kFieldCount)
        return;
    app.ui.Option1Value[static_cast<std::size_t>(index)] = true;
    Option1_Click(app, index);
}

void Check1_Click(AppState& app) {
    ChartField(app, app.selectedField);
}

void ChartField(AppState& app, int field) {
    if (field < 0 || field >= kFieldCount)
        return;
    // An empty store gives an empty chart rather than leaving an earlier file's data on show.
    const RecordStore& store = StoreOf(app, field);
    ChartModel& chart = app.ui.Chart;
    chart.series.clear();
    chart.series.push_back(
        {app.ui.Option1[static_cast<std::size_t>(field)], std::nullopt, FieldValues(store, field)});
    chart.kind = app.ui.Check1 ? ChartKind::Bar : ChartKind::Line;
    chart.penWidth = app.ui.Check1 ? 1 : 30;
    FillPoints(chart, store);
    ShowRecord(app, store.Count());
}

void ChartFieldTrio(AppState& app, const RecordStore& store, int a, int b, int c) {
    ChartModel& chart = app.ui.Chart;
    chart.series.clear();
    const std::array<int, 3> fields{a, b, c};
    for (std::size_t s = 0; s < fields.size(); ++s) {
        chart.series.push_back({app.ui.Option1[static_cast<std::size_t>(fields[s])],
                                kGroupColours[s], FieldValues(store, fields[s])});
    }
    // The chart kind and pens stay as the last single-field chart left them.
    FillPoints(chart, store);
    ShowRecord(app, store.Count());
}

}  // namespace quorbel
