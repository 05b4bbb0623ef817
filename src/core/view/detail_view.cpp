// The record detail view: the texts of one record number from both stores.
#include "view/detail_view.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/number_format.hpp"
#include "decode/field_table.hpp"
#include "store/record_store.hpp"

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

// Value texts of the range from record n of the store.
void ShowFields(RecordView& view, const RecordStore& store, int n, FieldRange range,
                char decimalMark) {
    for (int i = range.first; i <= range.last; ++i) {
        const auto index = static_cast<std::size_t>(i);
        view.values[index] = FormatFieldValue(kFields[index], store.Value(n, i), decimalMark);
    }
}

// The receive time shown for record n: the sensor record's, or the beacon's when no sensor
// record of that number is in the store, so a file of beacons alone shows their times.
std::string ReceiveTimeText(const RecordStore& telemetry, const RecordStore& sensor, int n) {
    const bool sensorFilled = n <= sensor.Count();
    const bool beaconFilled = n <= telemetry.Count();
    const RecordStore& store = (sensorFilled || !beaconFilled) ? sensor : telemetry;
    return "RX Timestamp: " + std::string(store.RxTime(n));
}

std::string SpinText(const RecordStore& sensor, int n, char decimalMark) {
    const double spin = SpinEstimate(sensor.Value(n, 88), sensor.Value(n, 89), sensor.Value(n, 90));
    return "estimated spin: " + FormatFixed(spin, 1, decimalMark) + " rpm";
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

RecordView BuildRecordView(const RecordStore& telemetry, const RecordStore& sensor, int n,
                           int spacecraftId, char decimalMark) {
    RecordView view;
    if (RecordStore::IsValidNumber(n)) {
        ShowFields(view, telemetry, n, kBeaconPageFields, decimalMark);
        ShowFields(view, sensor, n, kSensorFields, decimalMark);
        view.spin = SpinText(sensor, n, decimalMark);
        view.receiveTime = ReceiveTimeText(telemetry, sensor, n);
    }
    view.satelliteName = SatelliteName(spacecraftId);
    return view;
}

}  // namespace quorbel
