// The exports: TLM CSV, SENSOR CSV and the TLM report against golden files, export naming, the
// status line, and exports that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>

#include "export/export_file.hpp"
#include "export/record_csv_export.hpp"
#include "export/tlm_report.hpp"
#include "satnogs_test_support.hpp"
#include "shell/app_state.hpp"
#include "store/field_catalogue.hpp"

namespace quorbel {
namespace {

using testing::FakePlatform;
using testing::Golden;
using testing::ReadBytes;
using testing::ScratchFolder;

struct Fixture {
    Fixture() { ApplyFieldCatalogue(app); }
    FakePlatform platform;
    AppState app{platform};
    ScratchFolder folder;
};

TelemetryRecord& AddRecord(RecordStore& store, const std::string& rxTime) {
    TelemetryRecord& record = store.Record(*store.Take());
    record = TelemetryRecord{};
    record.rxTime = rxTime;
    return record;
}

void FillStores(AppState& app) {
    TelemetryRecord& first = AddRecord(app.telemetry, "2023-01-15 12:34:56");
    first.values[0] = -1.25;
    first.values[1] = 7400;
    first.values[5] = 1e20;
    first.values[6] = 1.5e-7;
    first.values[10] = 0.1 + 0.2;
    first.values[29] = 4294967295.0;
    first.values[64] = -123456;
    first.values[66] = 435000000;
    first.values[80] = 99;  // a sensor field in a beacon record is not exported
    TelemetryRecord& second = AddRecord(app.telemetry, "2023-01-15 12:35:56.789 UTC");
    second.values.fill(3);
    second.values[2] = 0.1;
    TelemetryRecord& sensor = AddRecord(app.sensor, "2023-01-15 12:34:56");
    sensor.values[70] = 1673786096.123456;
    sensor.values[74] = 0.0625;
    sensor.values[75] = -12.5;
    sensor.values[1] = 5;  // a beacon field in a sensor record is not exported
}

TEST(Exports, CsvFilesAndReportMatchGoldenFiles) {
    Fixture f;
    FillStores(f.app);
    f.app.sourceFileName = f.folder.Path("pass.kss");
    f.app.ui.Label5 = "QUORBEL-1U";
    f.app.ui.Label4 = "RX Timestamp: 2023-01-15 12:34:56";
    for (int i = 0; i < kFieldCount; ++i) {
        f.app.ui.Text1[static_cast<std::size_t>(i)] =
            i >= 67 && i <= 69 ? "" : std::to_string(i * 10);
    }
    const struct {
        void (*command)(AppState&);
        const char* name;
    } cases[] = {{WriteCSVFile_Click, "pass_tlm.csv"},
                 {MnWriteSensorFile_Click, "pass_sensor.csv"},
                 {WriteTLMFile_Click, "pass.tlm"}};
    for (const auto& c : cases) {
        c.command(f.app);
        const std::string path = f.folder.Path(c.name);
        EXPECT_EQ(f.app.ui.Text4, path + " has been written");
        EXPECT_EQ(ReadBytes(path), Golden(std::string("export/golden/") + c.name)) << c.name;
    }
    EXPECT_EQ(f.folder.Names(),
              (std::vector<std::string>{"pass.tlm", "pass_sensor.csv", "pass_tlm.csv"}));
}

TEST(Exports, ValuesTakeTheLocalesDecimalMarkAndEmptyStoresGiveTheHeaderAlone) {
    Fixture f;
    f.app.settings.decimalMark = ',';
    AddRecord(f.app.telemetry, "t").values[0] = -1.25;
    const std::string csv = BuildRecordCsv(f.app, f.app.telemetry, 0, 66);
    EXPECT_NE(csv.find("\r\nt;-1,25;0;"), std::string::npos);
    const std::string sensorCsv = BuildRecordCsv(f.app, f.app.sensor, 70, 106);
    EXPECT_EQ(sensorCsv.find("\r\n"), sensorCsv.size() - 2);  // one line: the header
    EXPECT_TRUE(sensorCsv.starts_with("time;BG51 Time;"));
    EXPECT_TRUE(sensorCsv.ends_with(";Accel Raw Time;\r\n"));
}

TEST(Exports, NamesAreCutAtTheFirstDotOfTheFileName) {
    const struct {
        const char* source;
        const char* suffix;
        const char* name;
    } cases[] = {
        {"C:\\data\\pass.kss", "_tlm.csv", "C:\\data\\pass_tlm.csv"},
        {"/home/op/sat.data/pass.2024.kss", "_tlm.csv", "/home/op/sat.data/pass_tlm.csv"},
        {"/home/op/sat.data/pass", "_sensor.csv", "/home/op/sat.data/pass_sensor.csv"},
        {"pass", ".tlm", "pass.tlm"},
        {"vexon.tlm", ".tlm", "vexon.tlm"},
        {"C:\\a.b\\c.d.e", ".tlm", "C:\\a.b\\c.tlm"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeriveExportFileName(c.source, c.suffix), c.name) << c.source;
    }
}

TEST(Exports, WithoutInputFileCsvExportsStopAndTheReportUsesVexon) {
    Fixture f;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(f.folder.Path(""));
    WriteCSVFile_Click(f.app);
    EXPECT_EQ(f.app.ui.Text4, "no input file");
    MnWriteSensorFile_Click(f.app);
    EXPECT_EQ(f.app.ui.Text4, "no input file");
    EXPECT_TRUE(f.folder.Names().empty());
    WriteTLMFile_Click(f.app);
    EXPECT_EQ(f.app.ui.Text4, "vexon.tlm has been written");
    EXPECT_EQ(f.app.sourceFileName, "vexon.tlm");
    WriteCSVFile_Click(f.app);
    EXPECT_EQ(f.app.ui.Text4, "vexon_tlm.csv has been written");
    std::filesystem::current_path(previous);
    EXPECT_EQ(f.folder.Names(), (std::vector<std::string>{"vexon.tlm", "vexon_tlm.csv"}));
    // With an empty store the report still has its 114 lines.
    const std::string report = ReadBytes(f.folder.Path("vexon.tlm"));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 114);
}

// Root ignores permissions: the exports are blocked by a missing folder, a file standing where
// the folder should be, and a folder standing at the export's own path.
TEST(Exports, UnwritableExportsSayCouldNotBeWrittenAndLeaveNothing) {
    Fixture f;
    FillStores(f.app);
    f.folder.Write("plain-file", "x");
    std::filesystem::create_directories(f.folder.Path("blocked_tlm.csv/inside"));
    std::filesystem::create_directories(f.folder.Path("blocked_sensor.csv/inside"));
    std::filesystem::create_directories(f.folder.Path("blocked.tlm/inside"));
    const std::string sources[] = {f.folder.Path("no-such-folder/pass.kss"),
                                   f.folder.Path("plain-file/pass.kss"),
                                   f.folder.Path("blocked.kss")};
    for (const std::string& source : sources) {
        for (auto command : {WriteCSVFile_Click, MnWriteSensorFile_Click, WriteTLMFile_Click}) {
            f.app.sourceFileName = source;
            command(f.app);
            EXPECT_TRUE(f.app.ui.Text4.ends_with(" could not be written")) << f.app.ui.Text4;
        }
    }
    EXPECT_EQ(f.app.ui.Text4, f.folder.Path("blocked.tlm") + " could not be written");
    EXPECT_EQ(f.folder.Names(), (std::vector<std::string>{"blocked.tlm", "blocked_sensor.csv",
                                                          "blocked_tlm.csv", "plain-file"}));
    EXPECT_TRUE(std::filesystem::is_directory(f.folder.Path("blocked_tlm.csv/inside")));
}

}  // namespace
}  // namespace quorbel
