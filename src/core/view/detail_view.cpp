// The record detail view: one record number shown from both stores, and the navigation bar.
#include "view/detail_view.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "decode/field_table.hpp"
#include "shell/app_state.hpp"
#include "view/number_format.hpp"

namespace quorbel {
namespace {

std::string DeploymentStateText(double value, char decimalMark) {
    if (value == 0)
        return "STOWED";
    if (value == 1)
        return "DEPLOYED";
    if (value == 2)
        return "ASS DEPL";
    return FormatGeneralNumber(value, decimalMark);
}

// Value boxes first..last from record n of the store; boxes of records outside the store's
// entries keep their text.
void ShowFields(AppState& app, const RecordStore& store, int n, int first, int last) {
    if (!RecordStore::IsValidNumber(n))
        return;
    const TelemetryRecord& record = store.Record(n);
    for (int i = first; i <= last; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (auto text =
                FormatFieldValue(kFields[index], record.values[index], app.settings.decimalMark)) {
            app.ui.Text1[index] = std::move(*text);
        }
    }
}

// The receive time shown for record n: the sensor record's, or the beacon's when no sensor
// record of that number is in the store, so a file of beacons alone shows their times.
void ShowReceiveTime(AppState& app, int n) {
    if (!RecordStore::IsValidNumber(n))
        return;
    const bool sensorFilled = n <= app.sensor.Count();
    const bool beaconFilled = n <= app.telemetry.Count();
    const TelemetryRecord& record =
        (sensorFilled || !beaconFilled) ? app.sensor.Record(n) : app.telemetry.Record(n);
    app.ui.Label4 = "RX Timestamp: " + record.rxTime;
}

void ShowSpin(AppState& app, int n) {
    if (!RecordStore::IsValidNumber(n))
        return;
    const auto& v = app.sensor.Record(n).values;
    const double spin = SpinEstimate(v[88], v[89], v[90]);
    app.ui.Label8 = "estimated spin: " + FormatFixed(spin, 1, app.settings.decimalMark) + " rpm";
}

}  // namespace

std::string SatelliteName(int spacecraftId) {
    switch (spacecraftId) {
        case 22:
            return "QUORBEL-1U";
        case 37:
            return "QUORBEL-1V";
        case 102:
            return "QUORBEL-2U";
        case 100:
            return "QUORBEL-2V";
        case 79:
            return "QUORBEL-2X";
        default:
            return "UNKNOWN (" + std::to_string(spacecraftId) + ")";
    }
}

std::optional<std::string> FormatFieldValue(const FieldDef& field, double value, char decimalMark) {
    switch (field.display) {
        case FieldDisplay::Hex:
            return FormatHex(value);
        case FieldDisplay::DeploymentState:
            return DeploymentStateText(value, decimalMark);
        case FieldDisplay::EpochTime:
            return FormatEpochSeconds(value);
        case FieldDisplay::ThreeDecimals:
            return FormatFixed(value, 3, decimalMark);
        case FieldDisplay::Number:
            break;
    }
    return FormatGeneralNumber(value, decimalMark);
}

double SpinEstimate(double x, double y, double z) {
    // The satellite's own constant for pi, kept so the figure matches its ground software.
    const double factor = 60.0 / (2.0 * 3.141592645);
    return std::sqrt(std::pow(x, 2.0) + std::pow(y, 2.0) + std::pow(z, 2.0)) * factor;
}

std::string NavigationText(int value, int max) {
    char text[32];
    std::snprintf(text, sizeof text, "#%d / %d", value, max);
    return text;
}

void ShowRecord(AppState& app, int n) {
    if (n == 0)
        return;
    ShowFields(app, app.telemetry, n, 0, 69);
    ShowFields(app, app.sensor, n, 70, 106);
    ShowSpin(app, n);
    ShowReceiveTime(app, n);
    app.ui.Label5 = SatelliteName(app.frame.spacecraftId);
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

}  // namespace quorbel
