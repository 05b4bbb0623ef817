// The value chart: the field selection handler and the single and group charts.
#pragma once

#include <array>
#include <optional>

namespace quorbel {

struct AppState;
class RecordStore;

// Points per tick and label: 0 (automatic) up to 100 points, else n / 50 rounded half to even.
int PointsPerLabel(int pointCount);
// The group a field belongs to, if any.
std::optional<std::array<int, 3>> FieldGroupOf(int index);

void Option1_Click(AppState& app, int index);
// A user's click on a selector: sets it, then runs Option1_Click.
void ClickFieldSelector(AppState& app, int index);
void Check1_Click(AppState& app);
void ChartField(AppState& app, int field);
void ChartFieldTrio(AppState& app, const RecordStore& store, int a, int b, int c);

}  // namespace quorbel
