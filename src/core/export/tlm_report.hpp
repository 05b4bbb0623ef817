// "Write TLM File": the record the detail view shows, as a text report (".tlm").
#pragma once

#include <array>
#include <string>

#include "decode/field_table.hpp"

namespace quorbel {

inline constexpr const char* kTlmReportSuffix = ".tlm";
inline constexpr const char* kTlmReportTitle = "QUORBEL Telemetry Decoder";
// The source name taken when no file has been opened.
inline constexpr const char* kDefaultTlmSource = "vexon.tlm";

// The detail view's texts as the window shows them.
struct TlmReportRows {
    const std::string& satelliteName;                      // satelliteName
    const std::string& receiveTime;                        // receiveTimeText
    const std::array<std::string, kFieldCount>& captions;  // fieldCaptions
    const std::array<std::string, kFieldCount>& values;    // fieldValues
    const std::array<std::string, kFieldCount>& units;     // fieldUnits
};

// The 114 lines of the report: title, rule, satellite name, receive time and one line per row
// of the detail view ("caption: value unit"), each ended by CR LF.
std::string BuildTlmReport(const TlmReportRows& rows);

}  // namespace quorbel
