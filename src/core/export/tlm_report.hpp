// TLM File > "Write TLM File": the record the detail view shows, as a text report (".tlm").
#pragma once

#include <string>

namespace quorbel {

struct AppState;
struct WindowModel;

inline constexpr const char* kTlmReportSuffix = ".tlm";
inline constexpr const char* kTlmReportTitle = "QUORBEL Telemetry Decoder";
// The source name taken when no file has been opened.
inline constexpr const char* kDefaultTlmSource = "vexon.tlm";

// The 114 lines of the report: title, rule, satellite name, receive time and one line per row
// of the detail view ("caption: value unit"), all as the window shows them, each ended by CR LF.
std::string BuildTlmReport(const WindowModel& ui);

// Writes the report named after the input file read last; with none, the name becomes
// "vexon.tlm" and stays for later exports.
void WriteTLMFile_Click(AppState& app);

}  // namespace quorbel
