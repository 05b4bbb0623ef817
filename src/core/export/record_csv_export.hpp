// "Write TLM CSV" and "Write SENSOR CSV": a record store as a semicolon-separated text.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "decode/field_table.hpp"

namespace quorbel {

class RecordStore;

inline constexpr const char* kTelemetryCsvSuffix = "_tlm.csv";
inline constexpr const char* kSensorCsvSuffix = "_sensor.csv";

// A CSV export line by line, each line handed to `write` with its line end: "time;" and the
// captions (as the field selectors show them) of the fields of the range, then one line per
// record in store order. Every field is followed by ";", every line ends with CR LF, and values
// have their shortest form with up to 15 significant digits and the given decimal mark. The
// lines are built in one buffer, so an export of thousands of records goes to its file without
// its whole text in memory.
void WriteRecordCsv(const std::array<std::string, kFieldCount>& captions, const RecordStore& store,
                    FieldRange fields, char decimalMark,
                    const std::function<void(std::string_view)>& write);
// The whole text of a CSV export, as WriteRecordCsv writes it.
std::string BuildRecordCsv(const std::array<std::string, kFieldCount>& captions,
                           const RecordStore& store, FieldRange fields, char decimalMark);

}  // namespace quorbel
