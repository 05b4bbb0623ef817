// TLM File > "Write TLM CSV" and "Write SENSOR CSV": the two record stores as semicolon-separated
// files named after the input file read last.
#pragma once

#include <string>

namespace quorbel {

struct AppState;
class RecordStore;

inline constexpr const char* kTelemetryCsvSuffix = "_tlm.csv";
inline constexpr const char* kSensorCsvSuffix = "_sensor.csv";

// The text of a CSV export: "time;" and the captions shown on the field selectors for the fields
// first to last, then one line per record in store order. Every field is followed by ";", every
// line ends with CR LF, and values have their shortest form with up to 15 significant digits.
std::string BuildRecordCsv(const AppState& app, const RecordStore& store, int firstField,
                           int lastField);

// "Write TLM CSV": the telemetry store, fields 0 to 66, to "_tlm.csv".
void WriteCSVFile_Click(AppState& app);
// "Write SENSOR CSV": the sensor store, fields 70 to 106, to "_sensor.csv".
void MnWriteSensorFile_Click(AppState& app);

}  // namespace quorbel
