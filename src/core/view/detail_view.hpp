// The record detail view: the texts one record number shows from both stores (value boxes,
// receive time, spin estimate, satellite name) and the navigation counter.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "decode/field_table.hpp"

namespace quorbel {

class RecordStore;

std::string SatelliteName(int spacecraftId);
// The box text of a value by the field's display rule; none when the rule cannot show it.
std::optional<std::string> FormatFieldValue(const FieldDef& field, double value, char decimalMark);
double SpinEstimate(double x, double y, double z);
// The navigation counter: "#" value " / " maximum.
std::string NavigationText(int value, int max);

// What record n shows. A box or label without a text keeps the one it has.
struct RecordView {
    std::array<std::optional<std::string>, kFieldCount> values;  // fieldValues
    std::optional<std::string> receiveTime;                      // receiveTimeText
    std::optional<std::string> spin;                             // spinText
    std::string satelliteName;                                   // satelliteName
};

// The texts of record n (1 to 5000): the beacon page's boxes from the telemetry store, the sensor
// page's from the sensor store, whether or not n lies within a store's count (entries above it
// hold what they held before).
RecordView BuildRecordView(const RecordStore& telemetry, const RecordStore& sensor, int n,
                           int spacecraftId, char decimalMark);

}  // namespace quorbel
