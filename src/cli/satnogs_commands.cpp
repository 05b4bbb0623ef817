// The commands over SatNOGS exports and the exports: open exports, crop image data, and write
// the TLM CSV, SENSOR CSV and TLM report files, each as its menu command does.
#include "cli_app.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"

namespace quorbel::cli {
namespace {

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
                     },
                     false, kArchives});
    table.push_back({"crop-images", "FILE",
                     "Tools > \"Crop SatNOGS CSV -> Image Data\" on FILE (writes FILE_new)",
                     [](const Args& args) { return ExpectCount(args, 1, 1); },
                     [](CliContext& context, const Args& args) {
                         ReportOutcome(context, CropSatnogsImageData(context.app, args[0]));
                     },
                     kLeavesPicturesAlone});
    table.push_back({"write-tlm-csv", "", "TLM File > \"Write TLM CSV\" (\"_tlm.csv\")",
                     NoArguments,
                     [](CliContext& context, const Args&) {
                         ReportOutcome(context, WriteTelemetryCsv(context.app));
                     },
                     kLeavesPicturesAlone});
    table.push_back({"write-sensor-csv", "", "TLM File > \"Write SENSOR CSV\" (\"_sensor.csv\")",
                     NoArguments,
                     [](CliContext& context, const Args&) {
                         ReportOutcome(context, WriteSensorCsv(context.app));
                     },
                     kLeavesPicturesAlone});
    table.push_back({"write-tlm-file", "", "TLM File > \"Write TLM File\" (\".tlm\" report)",
                     NoArguments,
                     [](CliContext& context, const Args&) {
                         ReportOutcome(context, WriteTlmReport(context.app));
                     },
                     kLeavesPicturesAlone});
}

}  // namespace quorbel::cli
