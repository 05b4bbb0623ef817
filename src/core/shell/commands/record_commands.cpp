// The record navigation, the field selectors and the chart.
#include "shell/commands/record_commands.hpp"

#include <algorithm>

#include "decode/field_table.hpp"
#include "shell/app_state.hpp"
#include "view/detail_view.hpp"
#include "view/value_chart.hpp"

namespace quorbel {
namespace {

const RecordStore& StoreOf(const AppState& app, int field) {
    return IsSensorField(field) ? app.sensor : app.telemetry;
}

}  // namespace

void ShowRecord(AppState& app, int n) {
    if (n == 0)
        return;
    RecordView view = BuildRecordView(app.telemetry, app.sensor, n, app.frame.spacecraftId,
                                      app.settings.decimalMark);
    for (std::size_t i = 0; i < view.values.size(); ++i) {
        if (view.values[i])
            app.ui.Text1[i] = std::move(*view.values[i]);
    }
    if (view.spin)
        app.ui.Label8 = std::move(*view.spin);
    if (view.receiveTime)
        app.ui.Label4 = std::move(*view.receiveTime);
    app.ui.Label5 = std::move(view.satelliteName);
}

void HScroll1_Change(AppState& app) {
    const ScrollBar& bar = app.ui.HScroll1;
    app.ui.Text2 = NavigationText(bar.value, bar.max);
    if (bar.max >= 1)
        ShowRecord(app, bar.value);
}

void SetRecordPosition(AppState& app, int value) {
    ScrollBar& bar = app.ui.HScroll1;
    bar.value = std::clamp(value, 0, std::max(bar.max, 0));
    HScroll1_Change(app);
}

void Option1_Click(AppState& app, int index, bool groupRequest) {
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

    if (!groupRequest) {
        ChartField(app, index);
    } else if (auto group = FieldGroupOf(index)) {
        ChartFieldTrio(app, StoreOf(app, index), *group);
    }
}

void ClickFieldSelector(AppState& app, int index, bool groupRequest) {
    if (index < 0 || index >= kFieldCount)
        return;
    app.ui.Option1Value[static_cast<std::size_t>(index)] = true;
    Option1_Click(app, index, groupRequest);
}

void Check1_Click(AppState& app) {
    ChartField(app, app.selectedField);
}

void Check2_Click(AppState& app) {
    app.ui.Chart.timeAxis = app.ui.Check2;
    ++app.ui.Chart.revision;
}

void ChartField(AppState& app, int field) {
    if (field < 0 || field >= kFieldCount)
        return;
    // An empty store gives an empty chart rather than leaving an earlier file's data on show.
    const RecordStore& store = StoreOf(app, field);
    DrawFieldChart(app.ui.Chart, store, field, app.ui.Option1[static_cast<std::size_t>(field)],
                   app.ui.Check1);
    ShowRecord(app, store.Count());
}

void ChartFieldTrio(AppState& app, const RecordStore& store, const std::array<int, 3>& fields) {
    std::array<std::string, 3> legends;
    for (std::size_t s = 0; s < fields.size(); ++s)
        legends[s] = app.ui.Option1[static_cast<std::size_t>(fields[s])];
    DrawGroupChart(app.ui.Chart, store, fields, legends);
    ShowRecord(app, store.Count());
}

}  // namespace quorbel
