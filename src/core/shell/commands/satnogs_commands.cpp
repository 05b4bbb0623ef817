// File > "Open SatNOGS CSV": exports read line by line from the last, each with its station
// analysis beside the read.
#include <future>
#include <numeric>
#include <optional>

#include "intake/read_diagnostics.hpp"
#include "intake/satnogs_reader.hpp"
#include "intake/satnogs_text.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/archive_commands.hpp"
#include "shell/commands/archive_import.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/open_commands.hpp"
#include "shell/commands/view_refresh.hpp"
#include "stations/station_analysis.hpp"

namespace quorbel {
namespace {

constexpr int kLinesPerEventLoop = 100;

// Every kept line of the export from the last to the first, serving the progress bar and the
// event loop every 100 lines. Counts the frames by kind and the lines that gave no frame a decoder
// took.
void DispatchLines(AppState& app, const std::string& path, const SatnogsIndex& index,
                   ReadDiagnostics& diagnostics) {
    SatnogsFrame frame;
    long long withoutFrame = 0;
    const ReceptionSourceGuard source(app, ReceptionSource::Export, ArchivedFileName(path));
    ReadKeptLinesBackwards(path, index, [&](std::size_t number, std::string_view line) {
        if (number % kLinesPerEventLoop == 0) {
            app.ui.progress.value = static_cast<int>(number);
            app.platform.DoEvents();
        }
        const SatnogsLineKind kind = ReadSatnogsLine(line, frame);
        if (kind != SatnogsLineKind::Nothing)
            app.frame.rxTimeText = frame.rxTimeText;
        app.receptionStation = frame.station;
        if (kind != SatnogsLineKind::Frame ||
            ReceiveFrame(app, frame.bytes, &frame.hexText, &diagnostics) == FrameKind::None)
            ++withoutFrame;
    });
    diagnostics.linesWithoutFrame = withoutFrame;
}

// The report of an analysis appended to the log, or its failure in the warning box. The outcome
// names the cleaned copy and the report as written, or the one that could not be written.
CommandOutcome ShowStationAnalysis(AppState& app, const std::string& inputPath,
                                   const StationAnalysisRun& run) {
    const StationOutputPaths paths = DeriveStationOutputPaths(inputPath);
    CommandOutcome outcome;
    if (run.failure) {
        app.platform.ShowMessage({kStationAnalysisFailedTitle,
                                  StationAnalysisFailureMessage(*run.failure),
                                  MessageIcon::Warning});
        const std::int32_t number = run.failure->number;
        if (number == kCleanedCopyWriteError || number == kReportWriteError) {
            outcome.AddProblem({CommandProblem::Kind::NotWritten,
                                number == kCleanedCopyWriteError ? paths.cleanedCopy : paths.report,
                                run.failure->systemReason});
        } else if (number == kInputUnreadableError) {
            outcome.AddNotRead(inputPath, ReadFailureReason(inputPath));
        }
        return outcome;
    }
    app.ui.readerLog += "\r\n" + run.report;
    outcome.AddWritten(paths.cleanedCopy);
    outcome.AddWritten(paths.report);
    return outcome;
}

// One export of the selection: its line ends converted, then its frames decoded while the first
// step of its station analysis (both passes, the cleaned copy written to its temporary file) runs
// beside them, on a second core when there is one. The two only read the export and share
// nothing else. The analysis is finished (its files put in place, its report or failure shown)
// once the frames are decoded, so everything the user sees comes in the order of a run of the
// analysis after the read.
CommandOutcome OpenSatnogsExport(AppState& app, const std::string& path) {
    // A failed conversion leaves the file as it was; LF line ends are read all the same.
    ConvertExportToCrLf(path);
    StationAnalysis analysis(path);
    std::future<void> prepared =
        std::async(std::launch::async | std::launch::deferred, [&analysis] { analysis.Prepare(); });
    CommandOutcome outcome = ReadSatnogsCsv(app, path);
    prepared.get();
    outcome.Merge(ShowStationAnalysis(app, path, analysis.Finish()));
    return outcome;
}

}  // namespace

CommandOutcome ReadSatnogsCsv(AppState& app, const std::string& path) {
    ViewEvent event(app);
    CommandOutcome outcome;
    ReadingGuard reading(app.ui);
    app.ui.busy = true;
    app.ui.readerLog += "file: " + path + "\r\n";
    app.platform.DoEvents();
    ReadDiagnostics diagnostics;
    diagnostics.file = path;
    diagnostics.linesWithoutFrame = 0;
    const std::optional<SatnogsIndex> index = IndexSatnogsExport(path);
    if (!index) {
        app.ui.readerLog += "records from SatNOGS: -1\r\nafter removing duplicates: -1\r\n\r\n";
        app.ui.diagnostics.push_back(std::move(diagnostics));
        PerformEndOfReadSteps(app);
        outcome.AddNotRead(path, ReadFailureReason(path));
        return outcome;
    }
    app.ui.readerLog += "records from SatNOGS: " + std::to_string(index->lineCount) + "\r\n";
    if (index->lineCount > 1)
        app.ui.recordCounter = std::to_string(index->lineCount - 1);  // the last compared
    app.ui.readerLog +=
        "after removing duplicates: " + std::to_string(index->keptCount) + "\r\n\r\n";
    app.ui.progress.max = static_cast<int>(index->keptCount);
    app.ui.progress.value = 0;
    app.ui.progress.visible = true;
    DispatchLines(app, path, *index, diagnostics);
    outcome.framesRead = std::accumulate(diagnostics.frames.begin(), diagnostics.frames.end(), 0LL);
    outcome.recordsRefused = diagnostics.droppedAtCap;
    app.ui.diagnostics.push_back(std::move(diagnostics));
    CheckArchive(app, outcome);
    PerformEndOfReadSteps(app);
    return outcome;
}

CommandOutcome AnalyseStations(AppState& app, const std::string& inputPath) {
    return ShowStationAnalysis(app, inputPath, RunStationAnalysis(inputPath));
}

CommandOutcome OpenSatnogsExports(AppState& app, const std::vector<std::string>& paths) {
    return RunOpenCommand(app, paths,
                          [&app](const std::string& path) { return OpenSatnogsExport(app, path); });
}

}  // namespace quorbel
