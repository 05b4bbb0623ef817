// The record navigation, the field selectors and the chart: each handler asks for a record, a
// counter or a chart, and the refresh step at the end of the event builds them once.
#include "shell/commands/record_commands.hpp"

#include <algorithm>

#include "decode/field_table.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/view_refresh.hpp"
#include "store/record_store.hpp"
#include "view/detail_view.hpp"
#include "view/value_chart.hpp"

namespace quorbel {
namespace {

const RecordStore& StoreOf(const AppState& app, int field) {
    return IsSensorField(field) ? app.sensor : app.telemetry;
}

// Record 0 asks for nothing: the boxes and labels keep what they show. The satellite's name, of
// the frame received last, is set at once: the live client names its capture file after it.
void RequestRecord(AppState& app, int n) {
    if (n == 0)
        return;
    app.ui.satelliteName = SatelliteName(app.frame.spacecraftId);
    if (RecordStore::IsValidNumber(n))
        app.view.requests.record = n;
}

void RequestSelectedRecord(AppState& app) {
    const ScrollBar& bar = app.ui.recordScrollBar;
    app.view.requests.counter = bar;
    if (bar.max >= 1)
        RequestRecord(app, bar.value);
}

// The chart of one field, or of its group, and the field's store's newest record in the boxes.
void RequestChart(AppState& app, int field, bool group) {
    ViewRequests& requests = app.view.requests;
    requests.chart = ChartRequest{field, group};
    if (!group)
        requests.kindFromBars = true;
    RequestRecord(app, StoreOf(app, field).Count());
}

}  // namespace

void ShowRecord(AppState& app, int n) {
    ViewEvent event(app);
    RequestRecord(app, n);
}

void ShowSelectedRecord(AppState& app) {
    ViewEvent event(app);
    RequestSelectedRecord(app);
}

void SetRecordPosition(AppState& app, int value) {
    ViewEvent event(app);
    ScrollBar& bar = app.ui.recordScrollBar;
    bar.value = std::clamp(value, 0, std::max(bar.max, 0));
    RequestSelectedRecord(app);
}

void SelectField(AppState& app, int index, bool groupRequest) {
    if (index < 0 || index >= kFieldCount)
        return;
    ViewEvent event(app);
    WindowModel& ui = app.ui;
    app.selectedField = index;
    app.view.requests.fieldLook = true;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (i != static_cast<std::size_t>(index))
            ui.fieldSelected[i] = false;
    }
    if (index >= 1)
        ui.recordScrollBar.SetMax(StoreOf(app, index).Count());
    RequestSelectedRecord(app);
    // A group request for a field outside the groups leaves the chart as it is.
    if (!groupRequest || FieldGroupOf(index))
        RequestChart(app, index, groupRequest);
}

void ClickFieldSelector(AppState& app, int index, bool groupRequest) {
    if (index < 0 || index >= kFieldCount)
        return;
    ViewEvent event(app);
    app.ui.fieldSelected[static_cast<std::size_t>(index)] = true;
    SelectField(app, index, groupRequest);
}

void SetChartBars(AppState& app) {
    ChartField(app, app.selectedField);
}

void SetChartTimeAxis(AppState& app) {
    ViewEvent event(app);
    app.view.requests.timeAxis = true;
}

void ChartField(AppState& app, int field) {
    if (field < 0 || field >= kFieldCount)
        return;
    // An empty store gives an empty chart rather than leaving an earlier file's data on show.
    ViewEvent event(app);
    RequestChart(app, field, false);
}

}  // namespace quorbel
