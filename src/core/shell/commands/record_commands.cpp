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
            app.ui.fieldValues[i] = std::move(*view.values[i]);
    }
    if (view.spin)
        app.ui.spinText = std::move(*view.spin);
    if (view.receiveTime)
        app.ui.receiveTimeText = std::move(*view.receiveTime);
    app.ui.satelliteName = std::move(view.satelliteName);
}

void ShowSelectedRecord(AppState& app) {
    const ScrollBar& bar = app.ui.recordScrollBar;
    app.ui.recordCounter = NavigationText(bar.value, bar.max);
    if (bar.max >= 1)
        ShowRecord(app, bar.value);
}

void SetRecordPosition(AppState& app, int value) {
    ScrollBar& bar = app.ui.recordScrollBar;
    bar.value = std::clamp(value, 0, std::max(bar.max, 0));
    ShowSelectedRecord(app);
}

void SelectField(AppState& app, int index, bool groupRequest) {
    if (index < 0 || index >= kFieldCount)
        return;
    WindowModel& ui = app.ui;
    const auto selected = static_cast<std::size_t>(index);
    app.selectedField = index;
    ui.chartTitle = ui.fieldUnits[selected].empty()
                        ? ui.fieldCaptions[selected]
                        : ui.fieldCaptions[selected] + " (" + ui.fieldUnits[selected] + ")";
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        ui.fieldBackgrounds[i] = i == selected ? kLightYellow : kWhite;
        if (i != selected)
            ui.fieldSelected[i] = false;
    }
    if (index >= 1)
        ui.recordScrollBar.SetMax(StoreOf(app, index).Count());
    ui.recordCounter = NavigationText(ui.recordScrollBar.value, ui.recordScrollBar.max);
    ShowSelectedRecord(app);

    if (!groupRequest) {
        ChartField(app, index);
    } else if (auto group = FieldGroupOf(index)) {
        ChartFieldTrio(app, StoreOf(app, index), *group);
    }
}

void ClickFieldSelector(AppState& app, int index, bool groupRequest) {
    if (index < 0 || index >= kFieldCount)
        return;
    app.ui.fieldSelected[static_cast<std::size_t>(index)] = true;
    SelectField(app, index, groupRequest);
}

void SetChartBars(AppState& app) {
    ChartField(app, app.selectedField);
}

void SetChartTimeAxis(AppState& app) {
    app.ui.chart.timeAxis = app.ui.chartTimeAxis;
    ++app.ui.chart.revision;
}

void ChartField(AppState& app, int field) {
    if (field < 0 || field >= kFieldCount)
        return;
    // An empty store gives an empty chart rather than leaving an earlier file's data on show.
    const RecordStore& store = StoreOf(app, field);
    DrawFieldChart(app.ui.chart, store, field,
                   app.ui.fieldCaptions[static_cast<std::size_t>(field)], app.ui.chartBars);
    ShowRecord(app, store.Count());
}

void ChartFieldTrio(AppState& app, const RecordStore& store, const std::array<int, 3>& fields) {
    std::array<std::string, 3> legends;
    for (std::size_t s = 0; s < fields.size(); ++s)
        legends[s] = app.ui.fieldCaptions[static_cast<std::size_t>(fields[s])];
    DrawGroupChart(app.ui.chart, store, fields, legends);
    ShowRecord(app, store.Count());
}

}  // namespace quorbel
