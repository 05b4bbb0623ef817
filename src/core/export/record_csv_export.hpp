// "Write TLM CSV" and "Write SENSOR CSV": a record store as a semicolon-separated text.
#pragma once

#include <array>
#include <string>

#include "decode/field_table.hpp"

namespace quorbel {

class RecordStore;

inline constexpr const char* kTelemetryCsvSuffix = "_tlm.csv";
inline constexpr const char* kSensorCsvSuffix = "_sensor.csv";

// The text of a CSV export: "time;" and the captions (as the field selectors show them) of the
// fields of the range, then one line per record in store order. Every field is followed by ";",
// every line ends with CR LF, and values have their shortest form with up to 15 significant
// digits and the given decimal mark.
std::string BuildRecordCsv(const std::array<std::string, kFieldCount>& captions,
                           const RecordStore& store, FieldRange fields, char decimalMark);

}  // namespace quorbel
