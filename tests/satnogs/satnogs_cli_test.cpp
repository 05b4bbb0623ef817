// End to end: quorbel-cli on generated SatNOGS exports (thousands of lines, many stations,
// truncated frames, adjacent duplicates, lower-case hex, LF-only files) and the real export.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

#include "satnogs_gen.hpp"
#include "satnogs_test_support.hpp"
#include "support/mounted_folder.hpp"
#include "support/state_json.hpp"

namespace quorbel {
namespace {

using testing::TempFolder;

struct CliRun {
    int status = -1;
    nlohmann::json state;  // what dump-state wrote
    std::string err;
};

CliRun RunCli(const TempFolder& folder, const std::string& commands) {
    const std::string statePath = folder.File("state.json"), errPath = folder.File("stderr.txt");
    const std::string command = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli --app-dir '" +
                                folder.Path() + "' --locale C " + commands + " dump-state '" +
                                statePath + "' 2>'" + errPath + "'";
    const int raw = std::system(command.c_str());
    CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
               testing::DumpedState(TempFolder::Read(statePath)), TempFolder::Read(errPath)};
    std::filesystem::remove(statePath);
    std::filesystem::remove(errPath);
    return run;
}

// The lines of a text without their CR LF or LF ends; an unterminated last line counts.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    return lines;
}

// What the export should give, worked out line by line from the generated text.
struct Expected {
    std::size_t lines = 0, records = 0, kept = 0, beacons = 0, sensors = 0, cleanedLines = 0;
    std::vector<std::string> imageLinesReversed;
};

Expected Expect(const std::string& text) {
    Expected e;
    const std::vector<std::string> lines = Lines(text);
    e.lines = lines.size();
    std::map<std::string, bool> stationRemoved;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty()) {  // a record; a station with a frame under 446 characters goes
            ++e.records;
            const std::size_t bar1 = line.find('|'), bar2 = line.find('|', bar1 + 1);
            bool& removed = stationRemoved[line.substr(line.rfind('|') + 1)];
            removed = removed || bar2 - bar1 - 1 < 446;
        }
        if (i > 0 && line == lines[i - 1])
            continue;
        ++e.kept;
        if (line.size() < 36)
            continue;  // the generator writes no frame shorter than 4 bytes
        const std::string apid = line.substr(32, 4);  // either case
        e.beacons += apid == "092C" || apid == "092c";
        e.sensors += apid == "0990";
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (!it->empty())
            e.cleanedLines += !stationRemoved[it->substr(it->rfind('|') + 1)];
        if (it->find("86A24040404060AC8AB09E9C406103F003") != std::string::npos)
            e.imageLinesReversed.push_back(*it);
    }
    return e;
}

TEST(SatnogsCli, GeneratedExportsGoThroughEveryCommand) {
    const struct {
        const char* name;
        tools::SatnogsExportOptions options;
    } cases[] = {
        {"busy.csv",
         {.lines = 4800,
          .stations = 60,
          .seed = 4,
          .duplicateRate = 0.3,
          .shortStationRate = 0.3,
          .lowerCaseRate = 0.2}},
        // No station truncates: every beacon and sensor line gives exactly one record.
        {"lf.csv",
         {.lines = 3000,
          .stations = 25,
          .seed = 5,
          .lfOnly = true,
          .finalLineBreak = false,
          .shortStationRate = 0,
          .blankLineRate = 0.01}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string text = tools::GenerateSatnogsExport(c.options);
        const std::string input = folder.Write(c.name, text);
        const Expected e = Expect(text);
        ASSERT_GT(e.beacons, 0u);  // the generated export exercises every part
        ASSERT_GT(e.sensors, 0u);
        ASSERT_FALSE(e.imageLinesReversed.empty());
        ASSERT_LT(e.kept, e.lines);
        CliRun run = RunCli(folder, "open-satnogs '" + input +
                                        "' write-tlm-csv write-sensor-csv write-tlm-file "
                                        "crop-images '" +
                                        input + "'");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(testing::StateText(run.state, "readerLog")
                      .find("records from SatNOGS: " + std::to_string(e.lines) +
                            "\r\nafter removing duplicates: " + std::to_string(e.kept)),
                  std::string::npos);
        const std::string base = input.substr(0, input.size() - 4);
        if (c.options.shortStationRate == 0) {
            EXPECT_EQ(run.state["telemetryCount"], e.beacons);
            EXPECT_EQ(run.state["sensorCount"], e.sensors);
        }
        // Each export has its header and one line of 69 (TLM) or 39 (SENSOR) fields per record.
        for (const auto& [suffix, count, semicolons] :
             {std::tuple{"_tlm.csv", "telemetryCount", 68}, {"_sensor.csv", "sensorCount", 38}}) {
            const std::vector<std::string> csv = Lines(TempFolder::Read(base + suffix));
            EXPECT_EQ(run.state[count], csv.size() - 1);
            for (const std::string& line : csv)
                ASSERT_EQ(std::count(line.begin(), line.end(), ';'), semicolons);
        }
        EXPECT_EQ(Lines(TempFolder::Read(base + ".tlm")).size(), 114u);
        EXPECT_EQ(Lines(TempFolder::Read(input + "_new")), e.imageLinesReversed);
        EXPECT_EQ(Lines(TempFolder::Read(base + "-cleaned.csv")).size(), e.cleanedLines);
        EXPECT_NE(TempFolder::Read(base + "-stations.txt")
                      .find("\r\nOriginal records: " + std::to_string(e.records) + "\r\n"),
                  std::string::npos);
        if (c.options.lfOnly) {  // converted on disk
            EXPECT_EQ(TempFolder::Read(input), std::regex_replace(text, std::regex("\n"), "\r\n"));
        }
    }
}

TEST(SatnogsCli, ExportsWithoutInputFileFailAndTheRealExportIsRefusedByTheAnalysis) {
    TempFolder folder;
    CliRun none = RunCli(folder, "write-tlm-csv");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no input file"), std::string::npos);

    const std::string real =
        std::string(QUORBEL_SHARED_TESTDATA) + "/real/satnogs-db-export-43617-month-head2000.csv";
    if (!std::filesystem::exists(real))
        GTEST_SKIP() << "no shared test data";
    const std::string input = folder.Write("real.csv", TempFolder::Read(real));
    CliRun run = RunCli(folder, "open-satnogs '" + input + "' crop-images '" + input + "'");
    EXPECT_EQ(run.status, 0);
    // The analysis's refusal is a message, not a failure of the run.
    EXPECT_EQ(run.err, "message: Expected four columns on line 1\n");
    EXPECT_EQ(TempFolder::Read(input + "_new"), "");  // another satellite: no image-data frames
}

// On a full disk the station analysis cannot write its cleaned copy: the frames are still read, the
// warning box says so, standard error names the file and the reason, and the exit status is 1.
TEST(SatnogsCli, AnExportOnAFullDiskFailsWithTheFileAndTheReason) {
    TempFolder folder;
    const std::string text = tools::GenerateSatnogsExport({.lines = 400, .seed = 7});
    // Room for the export alone.
    const testing::MountedFolder disk =
        testing::MountedFolder::Small(folder.Path() + "/disk", text.size());
    if (!disk.Ready())
        GTEST_SKIP() << "no full disk to write to: " << disk.Problem();
    const std::string input = disk.Path() + "/pass.csv";
    {
        std::ofstream out(input, std::ios::binary);
        out << text;
        ASSERT_TRUE(out.flush()) << "the export does not fit";
    }
    const CliRun run = RunCli(folder, "open-satnogs '" + input + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("message: Operation failed (error 1002)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("quorbel-cli: " + disk.Path() +
                           "/pass-cleaned.csv could not be written: No space left on device\n"),
              std::string::npos)
        << run.err;
    const std::string log = testing::StateText(run.state, "readerLog");
    EXPECT_NE(log.find("records from SatNOGS: "), std::string::npos) << log;
    EXPECT_EQ(log.find("records from SatNOGS: -1"), std::string::npos) << log;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace quorbel
