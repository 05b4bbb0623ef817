// The record detail view: value boxes, receive time, spin estimate, satellite name and navigation.
#pragma once

#include <optional>
#include <string>

namespace quorbel {

struct AppState;
struct FieldDef;

std::string SatelliteName(int spacecraftId);
// The box text of a value by the field's display rule; none when the rule cannot show it.
std::optional<std::string> FormatFieldValue(const FieldDef& field, double value, char decimalMark);
double SpinEstimate(double x, double y, double z);
// The navigation counter: "#" value " / " maximum.
std::string NavigationText(int value, int max);
void ShowRecord(AppState& app, int n);
void HScroll1_Change(AppState& app);
// Moves the navigation scroll bar (clamped to its range) and runs its change handler.
void SetRecordPosition(AppState& app, int value);

}  // namespace quorbel
