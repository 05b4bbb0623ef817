// The handlers of the record navigation, the field selectors and the chart's "B" box. Each is an
// event of its own, or part of the event that runs it: what it changes is shown by the refresh
// step once the event ends.
#pragma once

namespace quorbel {

struct AppState;

// Shows record n from both stores in the value boxes and labels; record 0 shows nothing.
void ShowRecord(AppState& app, int n);
void ShowSelectedRecord(AppState& app);
// Moves the navigation scroll bar (clamped to its range) and runs its change handler.
void SetRecordPosition(AppState& app, int value);

// A field selector's click handler: the title, the highlighted box, the navigation range, and
// the chart of the field, or with groupRequest (Shift or the right mouse button held) the chart
// of the field's group of three.
void SelectField(AppState& app, int index, bool groupRequest = false);
// A user's click on a selector: sets it, then runs SelectField.
void ClickFieldSelector(AppState& app, int index, bool groupRequest = false);
void SetChartBars(AppState& app);
// The "UTC time" box (its new value in chartTimeAxis): the chart shows its points at their receive
// times, or side by side with the receive times as labels, whatever field or group it shows.
void SetChartTimeAxis(AppState& app);
// The chart of one field from its store, and the store's newest record in the boxes.
void ChartField(AppState& app, int field);

}  // namespace quorbel
