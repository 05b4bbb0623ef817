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

void WriteStoreCsv(AppState& app, const RecordStore& store, FieldRange fields, const char* suffix) {
    if (app.sourceFileName.empty()) {
        app.ui.statusLine = kNoInputFileStatus;
        return;
    }
    const std::string path = DeriveExportFileName(app.sourceFileName, suffix);
    AtomicFileWriter file(path);
    WriteRecordCsv(app.ui.fieldCaptions, store, fields, app.settings.decimalMark,
                   [&file](std::string_view line) { file.Write(line); });
    app.ui.statusLine = WriteStatusText(path, file.Commit());
}

}  // namespace

bool WriteExportFile(AppState& app, const std::string& path, std::string_view contents) {
    const bool written = WriteFileAtomically(path, contents);
    app.ui.statusLine = WriteStatusText(path, written);
    return written;
}

void WriteTelemetryCsv(AppState& app) {
    WriteStoreCsv(app, app.telemetry, kBeaconFields, kTelemetryCsvSuffix);
}

void WriteSensorCsv(AppState& app) {
    WriteStoreCsv(app, app.sensor, kSensorFields, kSensorCsvSuffix);
}

void WriteTlmReport(AppState& app) {
    if (app.sourceFileName.empty())
        app.sourceFileName = kDefaultTlmSource;
    const WindowModel& ui = app.ui;
    WriteExportFile(app, DeriveExportFileName(app.sourceFileName, kTlmReportSuffix),
                    BuildTlmReport({ui.satelliteName, ui.receiveTimeText, ui.fieldCaptions,
                                    ui.fieldValues, ui.fieldUnits}));
}

void SaveChart(AppState& app, ChartFileFormat format,
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
        return;
    app.ui.statusLine = WriteStatusText(*path, save(*path));
}

bool CropSatnogsImageData(AppState& app, const std::string& path) {
    if (RefuseNonFileInput(app, path)) {
        app.ui.statusLine = path + " could not be read";
        return false;
    }
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        app.ui.statusLine = path + " could not be read";
        return false;
    }
    const CropResult result = CropImageDataLines(*text);
    if (result.copiedLines > 0) {
        app.ui.recordCounter =
            std::to_string(result.copiedLines) + "/" + std::to_string(result.lastCopiedLine);
    }
    return WriteExportFile(app, path + kCropSuffix, result.text);
}

}  // namespace quorbel
