// The commands over the decoding core: open capture files, move through records, select fields,
// switch bars and the time axis, and dump the window model.
#include <fstream>
#include <ostream>

#include "cli_app.hpp"
#include "common/files.hpp"
#include "json_state.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"

namespace quorbel::cli {
namespace {

void SelectField(CliContext& context, const Args& args) {
    // As the window's click: the selector is set, then its handler runs.
    ClickFieldSelector(context.app, std::stoi(args[0]), args.size() == 2);
}

void SetBars(CliContext& context, const Args& args) {
    context.app.ui.chartBars = args[0] == "on";
    SetChartBars(context.app);
}

void SetTimeAxis(CliContext& context, const Args& args) {
    context.app.ui.chartTimeAxis = args[0] == "on";
    SetChartTimeAxis(context.app);
}

// Decoding is the command's whole work: without a decoder it fails.
void DecodeImages(CliContext& context, const Args& /*args*/) {
    const CommandOutcome outcome = DecodeSsdvImages(context.app);
    ReportOutcome(context, outcome);
    if (outcome.Has(CommandProblem::Kind::DecoderNotFound)) {
        context.err << "quorbel-cli: ssdv decoder not found\n";
        context.failed = true;
    }
}

void DumpState(CliContext& context, const Args& args) {
    const std::string json = DumpStateJson(context.app);
    if (args.empty()) {
        context.out << json;
        return;
    }
    // A file is replaced whole or not at all, as the exports are; a device or a pipe
    // (/dev/stdout) is written in place, a folder refused.
    bool written = false;
    if (NonFileInputProblem(args[0])) {
        std::ofstream file(args[0], std::ios::binary);
        written = static_cast<bool>(file << json << std::flush);
    } else {
        written = WriteFileAtomically(args[0], json);
    }
    if (!written) {
        context.err << "quorbel-cli: cannot write " << args[0] << "\n";
        context.failed = true;
    }
}

// The argument of a check box command.
std::optional<std::string> ExpectOnOff(const Args& args) {
    if (auto error = ExpectCount(args, 1, 1))
        return error;
    if (args[0] != "on" && args[0] != "off")
        return "expected on or off";
    return std::nullopt;
}

}  // namespace

void AddCoreCommands(CommandTable& table) {
    table.push_back({"open-kiss", "FILE...", "File > \"Open KISS File\" with these files",
                     [](const Args& args) { return ExpectCount(args, 1, SIZE_MAX); },
                     [](CliContext& context, const Args& files) {
                         OpenFiles(context, files, OpenCaptureFiles);
                     },
                     false, kArchives});
    table.push_back({"show-record", "N", "move the navigation scroll bar to record N",
                     [](const Args& args) -> std::optional<std::string> {
                         if (auto error = ExpectCount(args, 1, 1))
                             return error;
                         if (!IsWholeNumber(args[0]))
                             return "N must be a whole number";
                         return std::nullopt;
                     },
                     [](CliContext& context, const Args& args) {
                         SetRecordPosition(context.app, std::stoi(args[0]));
                     },
                     kLeavesPicturesAlone});
    table.push_back({"select-field", "I [--group]",
                     "click field selector I (0 to 106); --group: with Shift held",
                     [](const Args& args) -> std::optional<std::string> {
                         if (auto error = ExpectCount(args, 1, 2))
                             return error;
                         if (!IsWholeNumber(args[0]) || std::stoi(args[0]) > 106) {
                             return "I must be a field number from 0 to 106";
                         }
                         if (args.size() == 2 && args[1] != "--group")
                             return "unknown option " + args[1];
                         return std::nullopt;
                     },
                     SelectField, kLeavesPicturesAlone});
    table.push_back({"bars", "on|off", "the chart's \"B\" check box: bars or a line", ExpectOnOff,
                     SetBars, kLeavesPicturesAlone});
    table.push_back({"time-axis", "on|off",
                     "the chart's \"UTC time\" check box: points at their receive times",
                     ExpectOnOff, SetTimeAxis, kLeavesPicturesAlone});
    table.push_back({"decode-images", "",
                     "rewrite the SSDV packet files in packet order and decode them into "
                     "ssdv_NNN.jpg",
                     [](const Args& args) { return ExpectCount(args, 0, 0); }, DecodeImages});
    table.push_back({"dump-state", "[FILE]", "the window model as JSON, to standard output or FILE",
                     [](const Args& args) { return ExpectCount(args, 0, 1); }, DumpState});
}

}  // namespace quorbel::cli
