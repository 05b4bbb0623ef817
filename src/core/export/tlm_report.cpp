// The text report of the shown record.
#include "export/tlm_report.hpp"

namespace quorbel {

std::string BuildTlmReport(const TlmReportRows& rows) {
    const std::string title = kTlmReportTitle;
    std::string out;
    for (const std::string& line :
         {title, std::string(title.size(), '='), std::string(), rows.satelliteName, std::string(),
          rows.receiveTime, std::string()}) {
        out += line;
        out += "\r\n";
    }
    for (std::size_t row = 0; row < static_cast<std::size_t>(kFieldCount); ++row) {
        out += rows.captions[row];
        out += ": ";
        out += rows.values[row];
        out += ' ';
        out += rows.units[row];
        out += "\r\n";
    }
    return out;
}

}  // namespace quorbel
