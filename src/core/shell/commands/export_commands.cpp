// The export commands and the image-data crop.
#include "shell/commands/export_commands.hpp"

#include "common/files.hpp"
#include "export/export_file.hpp"
#include "export/image_data_crop.hpp"
#include "export/record_csv_export.hpp"
#include "export/tlm_report.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/open_commands.hpp"

namespace quorbel {
namespace {

CommandOutcome NoInputFileOutcome() {
    CommandOutcome outcome;
    outcome.AddProblem({CommandProblem::Kind::NoInputFile, {}, {}, 0});
    return outcome;
}

CommandOutcome WriteStoreCsv(AppState& app, const RecordStore& store, FieldRange fields,
                             const char* suffix) {
    if (app.sourceFileName.empty())
        return ShowOutcome(app, NoInputFileOutcome());
    const std::string path = DeriveExportFileName(app.sourceFileName, suffix);
    AtomicFileWriter file(path);
    WriteRecordCsv(app.ui.fieldCaptions, store, fields, app.settings.decimalMark,
                   [&file](std::string_view line) { file.Write(line); });
    CommandOutcome outcome;
    if (file.Commit())
        outcome.AddWritten(path);
    else
        outcome.AddNotWritten(path, file.Error());
    return ShowOutcome(app, std::move(outcome));
}

}  // namespace

CommandOutcome WriteExportFile(AppState& app, const std::string& path, std::string_view contents) {
    CommandOutcome outcome;
    int error = 0;
    if (WriteFileAtomically(path, contents, error))
        outcome.AddWritten(path);
    else
        outcome.AddNotWritten(path, error);
    return ShowOutcome(app, std::move(outcome));
}

CommandOutcome WriteTelemetryCsv(AppState& app) {
    return WriteStoreCsv(app, app.telemetry, kBeaconFields, kTelemetryCsvSuffix);
}

CommandOutcome WriteSensorCsv(AppState& app) {
    return WriteStoreCsv(app, app.sensor, kSensorFields, kSensorCsvSuffix);
}

CommandOutcome WriteTlmReport(AppState& app) {
    if (app.sourceFileName.empty())
        app.sourceFileName = kDefaultTlmSource;
    const WindowModel& ui = app.ui;
    return WriteExportFile(app, DeriveExportFileName(app.sourceFileName, kTlmReportSuffix),
                           BuildTlmReport({ui.satelliteName, ui.receiveTimeText, ui.fieldCaptions,
                                           ui.fieldValues, ui.fieldUnits}));
}

CommandOutcome SaveChart(AppState& app, ChartFileFormat format,
                         const std::function<bool(const std::string&)>& save) {
    struct Choice {
        const char* suffix;
        const char* title;
        const char* filter;
    };
    const Choice choice = format == ChartFileFormat::Png
                              ? Choice{"_chart.png", "Save chart as PNG", kChartPngFilter}
                          : format == ChartFileFormat::Svg
                              ? Choice{"_chart.svg", "Save chart as SVG", kChartSvgFilter}
                              : Choice{"_chart.pdf", "Save chart as PDF", kChartPdfFilter};
    std::string offered = choice.suffix + 1;
    if (!app.sourceFileName.empty())
        offered = DeriveExportFileName(app.sourceFileName, choice.suffix);
    else if (!app.settings.appDir.empty())
        offered = app.settings.appDir + "/" + offered;
    const std::optional<std::string> path =
        app.platform.SelectSaveFile({choice.title, choice.filter, offered});
    if (!path || path->empty())
        return {};
    CommandOutcome outcome;
    if (save(*path))
        outcome.AddWritten(*path);
    else
        outcome.AddNotWritten(*path, 0);  // the toolkit gives no reason
    return ShowOutcome(app, std::move(outcome));
}

CommandOutcome CropSatnogsImageData(AppState& app, const std::string& path) {
    if (RefuseNonFileInput(app, path)) {
        CommandOutcome outcome;
        outcome.AddNotRead(path);  // the message box has said why
        return ShowOutcome(app, std::move(outcome));
    }
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        CommandOutcome outcome;
        outcome.AddNotRead(path, ReadFailureReason(path));
        return ShowOutcome(app, std::move(outcome));
    }
    const CropResult result = CropImageDataLines(*text);
    if (result.copiedLines > 0) {
        app.ui.recordCounter =
            std::to_string(result.copiedLines) + "/" + std::to_string(result.lastCopiedLine);
    }
    return WriteExportFile(app, path + kCropSuffix, result.text);
}

}  // namespace quorbel
