// The exports: TLM CSV, SENSOR CSV and the TLM report against golden files, export naming, the
// status line, unwritable exports and writes failing halfway; the image-data crop against its
// golden output.
#include <gtest/gtest.h>

#include <filesystem>

#include "export/export_file.hpp"
#include "export/image_data_crop.hpp"
#include "export/record_csv_export.hpp"
#include "export/tlm_report.hpp"
#include "satnogs_test_support.hpp"
#include "shell/commands/commands.hpp"
#include "support/file_size_limit.hpp"

namespace quorbel {
namespace {

using testing::FileNames;
using testing::Fixture;
using testing::Golden;
using testing::TempFolder;

// Puts the record into the next entry of the store with the receive time.
void AddRecord(RecordStore& store, TelemetryRecord record, const std::string& rxTime) {
    record.rxTime = rxTime;
    store.SetRecord(*store.Take(), record);
}

void FillStores(AppState& app) {
    ApplyFieldCatalogue(app);
    TelemetryRecord first;
    first.values[0] = -1.25;
    first.values[1] = 7400;
    first.values[5] = 1e20;
    first.values[6] = 1.5e-7;
    first.values[10] = 0.1 + 0.2;
    first.values[29] = 4294967295.0;
    first.values[64] = -123456;
    first.values[66] = 435000000;
    first.values[80] = 99;  // a sensor field in a beacon record is not exported
    AddRecord(app.telemetry, first, "2023-01-15 12:34:56");
    TelemetryRecord second;
    second.values.fill(3);
    second.values[2] = 0.1;
    AddRecord(app.telemetry, second, "2023-01-15 12:35:56.789 UTC");
    TelemetryRecord sensor;
    sensor.values[70] = 1673786096.123456;
    sensor.values[74] = 0.0625;
    sensor.values[75] = -12.5;
    sensor.values[1] = 5;  // a beacon field in a sensor record is not exported
    AddRecord(app.sensor, sensor, "2023-01-15 12:34:56");
}

TEST(Exports, CsvFilesAndReportMatchGoldenFiles) {
    Fixture f;
    FillStores(f.app);
    f.app.sourceFileName = f.folder.File("pass.kss");
    f.app.ui.satelliteName = "QUORBEL-1U";
    f.app.ui.receiveTimeText = "RX Timestamp: 2023-01-15 12:34:56";
    for (int i = 0; i < kFieldCount; ++i) {
        f.app.ui.fieldValues[static_cast<std::size_t>(i)] =
            i >= 67 && i <= 69 ? "" : std::to_string(i * 10);
    }
    const struct {
        CommandOutcome (*command)(AppState&);
        const char* name;
    } cases[] = {{WriteTelemetryCsv, "pass_tlm.csv"},
                 {WriteSensorCsv, "pass_sensor.csv"},
                 {WriteTlmReport, "pass.tlm"}};
    for (const auto& [command, name] : cases) {
        command(f.app);
        const std::string path = f.folder.File(name);
        EXPECT_EQ(f.app.ui.statusLine, path + " has been written");
        EXPECT_EQ(TempFolder::Read(path), Golden(std::string("export/golden/") + name)) << name;
    }
    EXPECT_EQ(FileNames(f.folder.Path()),
              (std::vector<std::string>{"pass.tlm", "pass_sensor.csv", "pass_tlm.csv"}));
}

TEST(Exports, ValuesTakeTheLocalesDecimalMark) {
    Fixture f;
    ApplyFieldCatalogue(f.app);
    f.app.settings.decimalMark = ',';
    TelemetryRecord record;
    record.values[0] = -1.25;
    AddRecord(f.app.telemetry, record, "t");
    EXPECT_NE(BuildRecordCsv(f.app.ui.fieldCaptions, f.app.telemetry, kBeaconFields,
                             f.app.settings.decimalMark)
                  .find("\r\nt;-1,25;0;"),
              std::string::npos);
}

TEST(Exports, NamesAreCutAtTheFirstDotOfTheFileName) {
    const char* const cases[][3] = {
        {"C:\\data\\pass.kss", "_tlm.csv", "C:\\data\\pass_tlm.csv"},
        {"/home/op/sat.data/pass.2024.kss", "_tlm.csv", "/home/op/sat.data/pass_tlm.csv"},
        {"/home/op/sat.data/pass", "_sensor.csv", "/home/op/sat.data/pass_sensor.csv"},
        {"pass", ".tlm", "pass.tlm"},
        {"vexon.tlm", ".tlm", "vexon.tlm"},
        {"C:\\a.b\\c.d.e", ".tlm", "C:\\a.b\\c.tlm"},
    };
    for (const auto& [source, suffix, name] : cases)
        EXPECT_EQ(DeriveExportFileName(source, suffix), name) << source;
}

TEST(Exports, WithoutInputFileCsvExportsStopAndTheReportUsesVexon) {
    Fixture f;
    ApplyFieldCatalogue(f.app);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(f.folder.Path());
    WriteTelemetryCsv(f.app);
    EXPECT_EQ(f.app.ui.statusLine, "no input file");
    WriteSensorCsv(f.app);
    EXPECT_EQ(f.app.ui.statusLine, "no input file");
    EXPECT_TRUE(FileNames(f.folder.Path()).empty());
    WriteTlmReport(f.app);
    EXPECT_EQ(f.app.ui.statusLine, "vexon.tlm has been written");
    EXPECT_EQ(f.app.sourceFileName, "vexon.tlm");
    WriteTelemetryCsv(f.app);
    EXPECT_EQ(f.app.ui.statusLine, "vexon_tlm.csv has been written");
    WriteSensorCsv(f.app);
    std::filesystem::current_path(previous);
    EXPECT_EQ(FileNames(f.folder.Path()),
              (std::vector<std::string>{"vexon.tlm", "vexon_sensor.csv", "vexon_tlm.csv"}));
    // With empty stores the report still has its 114 lines and the CSV files their header alone.
    const std::string report = TempFolder::Read(f.folder.File("vexon.tlm"));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 114);
    for (const std::string suffix : {"_tlm.csv", "_sensor.csv"}) {
        const std::string golden = Golden("export/golden/pass" + suffix);
        EXPECT_EQ(TempFolder::Read(f.folder.File("vexon" + suffix)),
                  golden.substr(0, golden.find("\r\n") + 2));
    }
}

// Root ignores permissions: the exports are blocked by a missing folder, a file standing where
// the folder should be, and a folder standing at the export's own path.
TEST(Exports, UnwritableExportsSayCouldNotBeWrittenAndLeaveNothing) {
    Fixture f;
    FillStores(f.app);
    f.folder.Write("plain-file", std::string("x"));
    for (const char* blocked : {"blocked_tlm.csv", "blocked_sensor.csv", "blocked.tlm"})
        std::filesystem::create_directories(f.folder.File(blocked) + "/inside");
    for (const std::string& source :
         {f.folder.File("no-such-folder/pass.kss"), f.folder.File("plain-file/pass.kss"),
          f.folder.File("blocked.kss")}) {
        for (auto command : {WriteTelemetryCsv, WriteSensorCsv, WriteTlmReport}) {
            f.app.sourceFileName = source;
            command(f.app);
            EXPECT_TRUE(f.app.ui.statusLine.ends_with(" could not be written"))
                << f.app.ui.statusLine;
        }
    }
    EXPECT_EQ(f.app.ui.statusLine, f.folder.File("blocked.tlm") + " could not be written");
    EXPECT_EQ(FileNames(f.folder.Path()),
              (std::vector<std::string>{"blocked.tlm", "blocked_sensor.csv", "blocked_tlm.csv",
                                        "plain-file"}));
    EXPECT_TRUE(std::filesystem::is_directory(f.folder.File("blocked_tlm.csv/inside")));
}

TEST(Exports, ChartIsSavedWhereTheSaveDialogSaysAndTheStatusLineTellsHowItWent) {
    Fixture s;
    s.app.settings.appDir = s.folder.Path();
    std::vector<std::string> saved;
    bool saves = true;
    const auto save = [&](const std::string& path) {
        saved.push_back(path);
        return saves;
    };
    // Before any read the name offered is "chart.png" in the application folder; cancelling
    // saves nothing and leaves the status line.
    s.app.ui.statusLine = "no input file";
    SaveChart(s.app, ChartFileFormat::Png, save);
    ASSERT_EQ(s.platform.saveDialogs.size(), 1u);
    EXPECT_EQ(s.platform.saveDialogs[0].fileName, s.folder.Path() + "/chart.png");
    EXPECT_EQ(s.platform.saveDialogs[0].filter, "PNG Pictures (*.png)|*.png");
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(s.app.ui.statusLine, "no input file");

    // After a read the name follows the input file; the chosen path is saved.
    s.app.sourceFileName = "/data/pass.2024.kss";
    s.platform.savePaths = {"/tmp/out.pdf", "/tmp/out2.png"};  // the window's tests save SVG
    SaveChart(s.app, ChartFileFormat::Pdf, save);
    EXPECT_EQ(s.platform.saveDialogs[1].fileName, "/data/pass_chart.pdf");
    EXPECT_EQ(s.platform.saveDialogs[1].filter, "PDF Documents (*.pdf)|*.pdf");
    EXPECT_EQ(saved, (std::vector<std::string>{"/tmp/out.pdf"}));
    EXPECT_EQ(s.app.ui.statusLine, "/tmp/out.pdf has been written");
    saves = false;
    SaveChart(s.app, ChartFileFormat::Png, save);
    EXPECT_EQ(s.app.ui.statusLine, "/tmp/out2.png could not be written");
}

// A write that fails halfway through the system's file calls (the file-size limit stops it with
// EFBIG, as a full disk would) leaves the old export byte for byte, no temporary file beside it,
// and a status line that names the file; without the limit the same exports are written.
TEST(Exports, AWriteFailingHalfwayKeepsTheOldFileWhole) {
    Fixture f;
    ApplyFieldCatalogue(f.app);
    TelemetryRecord record;
    record.values.fill(1234.5678);
    for (int i = 0; i < 300; ++i)
        AddRecord(f.app.telemetry, record, "2023-01-15 12:34:56");
    f.app.sourceFileName = f.folder.File("pass.kss");
    const std::string csv = f.folder.Write("pass_tlm.csv", std::string(3000, 'c'));
    const std::string report = f.folder.Write("pass.tlm", std::string(700, 'r'));
    const struct {
        CommandOutcome (*command)(AppState&);
        const std::string& path;
        std::uint64_t limit;
    } cases[] = {{WriteTelemetryCsv, csv, 16384}, {WriteTlmReport, report, 1024}};
    for (const auto& [command, path, limit] : cases) {
        const std::string old = TempFolder::Read(path);
        const auto status = testing::RunWithFileSizeLimit(limit, [&, command = command] {
            command(f.app);
            return f.app.ui.statusLine;
        });
        ASSERT_TRUE(status) << path;
        EXPECT_EQ(*status, path + " could not be written");
        EXPECT_EQ(TempFolder::Read(path), old);
        EXPECT_EQ(FileNames(f.folder.Path()),
                  (std::vector<std::string>{"pass.tlm", "pass_tlm.csv"}));

        command(f.app);
        EXPECT_EQ(f.app.ui.statusLine, path + " has been written");
        EXPECT_GT(std::filesystem::file_size(path), limit);
    }
}

TEST(ImageDataCrop, MatchingLinesAreCopiedInReverseFromFirstToUnterminatedLast) {
    Fixture f;
    const std::string input = f.folder.Write("crop.csv", Golden("export/golden/crop.csv"));
    EXPECT_FALSE(CropSatnogsImageData(f.app, input).Failed());
    EXPECT_EQ(TempFolder::Read(input + "_new"), Golden("export/golden/crop.csv_new"));
    EXPECT_EQ(f.app.ui.recordCounter, "3/0");  // three lines copied, the last of them line 0
    EXPECT_EQ(f.app.ui.statusLine, input + "_new has been written");
    // Only the upper-case marker of all 17 bytes counts.
    const char* const others[][2] = {
        {"", ""},
        {"a|86a24040404060ac8ab09e9c406103f003|1|S\r\n", ""},
        {"a|86A24040404060AC8AB09E9C406103F0|1|S\r\n", ""},  // 16 bytes of the 17
        {"x\nb|86A24040404060AC8AB09E9C406103F003\n", "b|86A24040404060AC8AB09E9C406103F003\r\n"},
    };
    for (const auto& [text, output] : others)
        EXPECT_EQ(CropImageDataLines(text).text, output) << text;
}

TEST(ImageDataCrop, UnreadableInputAndUnwritableOutputWriteNothing) {
    Fixture f;
    const std::string missing = f.folder.File("missing.csv");
    EXPECT_TRUE(CropSatnogsImageData(f.app, missing).Failed());
    EXPECT_EQ(f.app.ui.statusLine, missing + " could not be read");
    // A folder is refused with a message and never read.
    EXPECT_TRUE(CropSatnogsImageData(f.app, f.folder.Path()).Failed());
    EXPECT_EQ(f.app.ui.statusLine, f.folder.Path() + " could not be read");
    EXPECT_EQ(f.platform.messages.size(), 1u);
    const std::string input = f.folder.Write("crop.csv", Golden("export/golden/crop.csv"));
    std::filesystem::create_directories(input + "_new/inside");
    EXPECT_TRUE(CropSatnogsImageData(f.app, input).Failed());
    EXPECT_EQ(f.app.ui.statusLine, input + "_new could not be written");
    EXPECT_EQ(FileNames(f.folder.Path()), (std::vector<std::string>{"crop.csv", "crop.csv_new"}));
    EXPECT_TRUE(std::filesystem::is_directory(input + "_new/inside"));
}

}  // namespace
}  // namespace quorbel
