// The telemetry and sensor CSV exports.
#include "export/record_csv_export.hpp"

#include "export/export_file.hpp"
#include "shell/app_state.hpp"
#include "view/number_format.hpp"

namespace quorbel {

std::string BuildRecordCsv(const AppState& app, const RecordStore& store, int firstField,
                           int lastField) {
    std::string out = "time;";
    for (int field = firstField; field <= lastField; ++field) {
        out += app.ui.Option1[static_cast<std::size_t>(field)];
        out += ';';
    }
    out += "\r\n";
    for (int n = 1; n <= store.Count(); ++n) {
        const TelemetryRecord& record = store.Record(n);
        out += record.rxTime;
        out += ';';
        for (int field = firstField; field <= lastField; ++field) {
            out += FormatGeneralNumber(record.values[static_cast<std::size_t>(field)],
                                       app.settings.decimalMark);
            out += ';';
        }
        out += "\r\n";
    }
    return out;
}

namespace {

void WriteStoreCsv(AppState& app, const RecordStore& store, int firstField, int lastField,
                   const char* suffix) {
    if (app.sourceFileName.empty()) {
        app.ui.Text4 = kNoInputFileStatus;
        return;
    }
    WriteExportFile(app, DeriveExportFileName(app.sourceFileName, suffix),
                    BuildRecordCsv(app, store, firstField, lastField));
}

}  // namespace

void WriteCSVFile_Click(AppState& app) {
    WriteStoreCsv(app, app.telemetry, 0, 66, kTelemetryCsvSuffix);
}

void MnWriteSensorFile_Click(AppState& app) {
    WriteStoreCsv(app, app.sensor, 70, 106, kSensorCsvSuffix);
}

}  // namespace quorbel
