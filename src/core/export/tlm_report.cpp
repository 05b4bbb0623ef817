// The text report of the shown record.
#include "export/tlm_report.hpp"

#include "export/export_file.hpp"
#include "shell/app_state.hpp"

namespace quorbel {

std::string BuildTlmReport(const WindowModel& ui) {
    const std::string title = kTlmReportTitle;
    std::string out;
    for (const std::string& line : {title, std::string(title.size(), '='), std::string(), ui.Label5,
                                    std::string(), ui.Label4, std::string()}) {
        out += line;
        out += "\r\n";
    }
    for (std::size_t row = 0; row < static_cast<std::size_t>(kFieldCount); ++row) {
        out += ui.Option1[row];
        out += ": ";
        out += ui.Text1[row];
        out += ' ';
        out += ui.Label1[row];
        out += "\r\n";
    }
    return out;
}

void WriteTLMFile_Click(AppState& app) {
    if (app.sourceFileName.empty())
        app.sourceFileName = kDefaultTlmSource;
    WriteExportFile(app, DeriveExportFileName(app.sourceFileName, kTlmReportSuffix),
                    BuildTlmReport(app.ui));
}

}  // namespace quorbel
