// The refresh step behind every event that changes what the record view and the chart show.
#include "shell/commands/view_refresh.hpp"

#include <array>
#include <string>
#include <utility>

#include "decode/field_table.hpp"
#include "shell/app_state.hpp"
#include "view/detail_view.hpp"
#include "view/value_chart.hpp"

namespace quorbel {
namespace {

const RecordStore& StoreOf(const AppState& app, int field) {
    return IsSensorField(field) ? app.sensor : app.telemetry;
}

// The satellite's name of the view is left alone: the handler that asked for the record has set
// it already.
void ShowRecordView(AppState& app, int n) {
    RecordView view = BuildRecordView(app.telemetry, app.sensor, n, app.frame.spacecraftId,
                                      app.settings.decimalMark);
    ++app.view.builds.recordViews;
    for (std::size_t i = 0; i < view.values.size(); ++i) {
        if (view.values[i])
            app.ui.fieldValues[i] = std::move(*view.values[i]);
    }
    if (view.spin)
        app.ui.spinText = std::move(*view.spin);
    if (view.receiveTime)
        app.ui.receiveTimeText = std::move(*view.receiveTime);
}

void ShowFieldLook(AppState& app) {
    WindowModel& ui = app.ui;
    const auto selected = static_cast<std::size_t>(app.selectedField);
    ui.chartTitle = ui.fieldUnits[selected].empty()
                        ? ui.fieldCaptions[selected]
                        : ui.fieldCaptions[selected] + " (" + ui.fieldUnits[selected] + ")";
    for (std::size_t i = 0; i < kFieldCount; ++i)
        ui.fieldBackgrounds[i] = i == selected ? kLightYellow : kWhite;
}

void DrawChart(AppState& app, const ViewRequests& requests) {
    const ChartRequest& wanted = *requests.chart;
    const RecordStore& store = StoreOf(app, wanted.field);
    ChartModel& chart = app.ui.chart;
    ChartDrawing drawing = ChartDrawing::Rebuilt;
    if (!wanted.group) {
        drawing = DrawFieldChart(chart, store, wanted.field,
                                 app.ui.fieldCaptions[static_cast<std::size_t>(wanted.field)],
                                 app.ui.chartBars);
    } else if (const auto group = FieldGroupOf(wanted.field)) {
        if (requests.kindFromBars)
            SetChartKind(chart, app.ui.chartBars);
        std::array<std::string, 3> legends;
        for (std::size_t s = 0; s < group->size(); ++s)
            legends[s] = app.ui.fieldCaptions[static_cast<std::size_t>((*group)[s])];
        drawing = DrawGroupChart(chart, store, *group, legends);
    } else {
        return;
    }
    ++(drawing == ChartDrawing::Rebuilt ? app.view.builds.charts : app.view.builds.chartUpdates);
}

}  // namespace

void RefreshView(AppState& app) {
    // Taken first: nothing the refresh does asks for more.
    const ViewRequests requests = std::exchange(app.view.requests, {});
    if (requests.fieldLook)
        ShowFieldLook(app);
    if (requests.counter)
        app.ui.recordCounter = NavigationText(requests.counter->value, requests.counter->max);
    if (requests.record)
        ShowRecordView(app, *requests.record);
    if (requests.chart)
        DrawChart(app, requests);
    if (requests.timeAxis) {
        app.ui.chart.timeAxis = app.ui.chartTimeAxis;
        ++app.ui.chart.revision;
    }
}

ViewEvent::ViewEvent(AppState& app) : m_app(app), m_exceptions(std::uncaught_exceptions()) {
    ++m_app.view.eventDepth;
}

ViewEvent::~ViewEvent() noexcept(false) {
    if (--m_app.view.eventDepth == 0 && std::uncaught_exceptions() == m_exceptions)
        RefreshView(m_app);
}

}  // namespace quorbel
