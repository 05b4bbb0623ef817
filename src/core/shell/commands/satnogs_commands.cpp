// File > "Open SatNOGS CSV": exports read line by line from the last, then the station analysis.
#include "common/files.hpp"
#include "intake/satnogs_reader.hpp"
#include "intake/satnogs_text.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/open_commands.hpp"
#include "stations/station_analysis.hpp"

namespace quorbel {
namespace {

constexpr int kLinesPerEventLoop = 100;

// From the last kept line to the first, serving the progress bar and the event loop every 100.
void DispatchLines(AppState& app, const std::vector<std::string_view>& lines) {
    SatnogsFrame frame;
    for (int i = static_cast<int>(lines.size()); i >= 1; --i) {
        if (i % kLinesPerEventLoop == 0) {
            app.ui.ProgressBar1.value = i;
            app.platform.DoEvents();
        }
        const SatnogsLineKind kind = ReadSatnogsLine(lines[static_cast<std::size_t>(i - 1)], frame);
        if (kind == SatnogsLineKind::Nothing)
            continue;
        app.frame.rxTimeText = frame.rxTimeText;
        if (kind == SatnogsLineKind::Frame)
            ReceiveFrame(app, frame.bytes, &frame.hexText);
    }
}

}  // namespace

void ReadSatnogsCsv(AppState& app, const std::string& path) {
    ReadingGuard reading(app.ui);
    app.ui.Busy = true;
    app.ui.Text5 += "file: " + path + "\r\n";
    app.platform.DoEvents();
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        app.ui.Text5 += "records from SatNOGS: -1\r\nafter removing duplicates: -1\r\n\r\n";
        PerformEndOfReadSteps(app);
        return;
    }
    const SatnogsLines lines = SplitSatnogsExport(*text);
    app.ui.Text5 += "records from SatNOGS: " + std::to_string(lines.all.size()) + "\r\n";
    if (lines.all.size() > 1)
        app.ui.Text2 = std::to_string(lines.all.size() - 1);  // the last compared
    app.ui.Text5 += "after removing duplicates: " + std::to_string(lines.kept.size()) + "\r\n\r\n";
    app.ui.ProgressBar1.max = static_cast<int>(lines.kept.size());
    app.ui.ProgressBar1.value = 0;
    app.ui.ProgressBar1.visible = true;
    DispatchLines(app, lines.kept);
    PerformEndOfReadSteps(app);
}

void AnalyseStations(AppState& app, const std::string& inputPath) {
    const StationAnalysisRun run = RunStationAnalysis(inputPath);
    if (run.failure) {
        app.platform.ShowMessage({kStationAnalysisFailedTitle,
                                  StationAnalysisFailureMessage(*run.failure),
                                  MessageIcon::Warning});
        return;
    }
    app.ui.Text5 += "\r\n" + run.report;
}

void MnuOpenServerLog_Click(AppState& app) {
    RunOpenCommand(app, kSatnogsFilter, [&app](const std::string& path) {
        // A failed conversion leaves the file as it was; LF line ends are read all the same.
        ConvertExportToCrLf(path);
        ReadSatnogsCsv(app, path);
        AnalyseStations(app, path);
    });
}

}  // namespace quorbel
