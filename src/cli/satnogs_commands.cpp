// The commands over SatNOGS exports and the exports: open exports, crop image data, and write
// the TLM CSV, SENSOR CSV and TLM report files, each as its menu command does.
#include <fstream>
#include <ostream>

#include "cli_app.hpp"
#include "export/export_file.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"

namespace quorbel::cli {
namespace {

// A command that writes a file fails when the status line does not say it has been written.
void ReportWriteStatus(CliContext& context) {
    const std::string& status = context.app.ui.statusLine;
    const std::string_view written = kWrittenStatus;
    if (status.size() < written.size() ||
        status.compare(status.size() - written.size(), written.size(), written) != 0) {
        context.err << "quorbel-cli: " << status << "\n";
        context.failed = true;
    }
}

std::optional<std::string> NoArguments(const Args& args) {
    return ExpectCount(args, 0, 0);
}

}  // namespace

void AddSatnogsCommands(CommandTable& table) {
    table.push_back({"open-satnogs", "FILE...",
                     "File > \"Open SatNOGS CSV\" with these files (station analysis included)",
                     [](const Args& args) { return ExpectCount(args, 1, SIZE_MAX); },
                     [](CliContext& context, const Args& files) {
                         OpenFiles(context, files, OpenSatnogsExports);
                     }});
    table.push_back({"crop-images", "FILE",
                     "Tools > \"Crop SatNOGS CSV -> Image Data\" on FILE (writes FILE_new)",
                     [](const Args& args) { return ExpectCount(args, 1, 1); },
                     [](CliContext& context, const Args& args) {
                         CropSatnogsImageData(context.app, args[0]);
                         ReportWriteStatus(context);
                     },
                     kLeavesPicturesAlone});
    table.push_back({"write-tlm-csv", "", "TLM File > \"Write TLM CSV\" (\"_tlm.csv\")",
                     NoArguments,
                     [](CliContext& context, const Args&) {
                         WriteTelemetryCsv(context.app);
                         ReportWriteStatus(context);
                     },
                     kLeavesPicturesAlone});
    table.push_back({"write-sensor-csv", "", "TLM File > \"Write SENSOR CSV\" (\"_sensor.csv\")",
                     NoArguments,
                     [](CliContext& context, const Args&) {
                         WriteSensorCsv(context.app);
                         ReportWriteStatus(context);
                     },
                     kLeavesPicturesAlone});
    table.push_back({"write-tlm-file", "", "TLM File > \"Write TLM File\" (\".tlm\" report)",
                     NoArguments,
                     [](CliContext& context, const Args&) {
                         WriteTlmReport(context.app);
                         ReportWriteStatus(context);
                     },
                     kLeavesPicturesAlone});
}

}  // namespace quorbel::cli
