// End to end: quorbel-cli on generated SatNOGS exports (thousands of lines, many stations,
// truncated frames, adjacent duplicates, lower-case hex, LF-only files) and the real export.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include <sys/wait.h>

#include "satnogs_gen.hpp"
#include "satnogs_test_support.hpp"

namespace quorbel {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

struct CliRun {
    int status = -1;
    std::string state;  // the JSON of dump-state
    std::string err;
};

CliRun RunCli(const ScratchFolder& folder, const std::string& commands) {
    const std::string statePath = folder.Path("state.json");
    const std::string errPath = folder.Path("stderr.txt");
    const std::string command = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli --app-dir '" +
                                folder.Path("") + "' --locale C " + commands + " dump-state '" +
                                statePath + "' 2>'" + errPath + "'";
    CliRun run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.state = ReadBytes(statePath);
    run.err = ReadBytes(errPath);
    std::filesystem::remove(statePath);
    std::filesystem::remove(errPath);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// What the export should give, worked out line by line from the generated text.
struct Expected {
    std::size_t lines = 0, records = 0, kept = 0, beacons = 0, sensors = 0, cleanedLines = 0;
    std::vector<std::string> imageLinesReversed;
};

Expected Expect(const std::string& text) {
    Expected e;
    std::vector<std::string> lines = Lines(text);
    e.lines = lines.size();
    std::map<std::string, bool> stationRemoved;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (i > 0 && line == lines[i - 1])
            continue;
        ++e.kept;
        if (line.size() < 36)
            continue;  // the generator writes no frame shorter than 4 bytes
        std::string apid = line.substr(32, 4);
        for (char& c : apid)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        e.beacons += apid == "092C";
        e.sensors += apid == "0990";
    }
    for (const std::string& line : lines) {
        if (line.empty())
            continue;  // a blank line
        ++e.records;
        std::size_t bar1 = line.find('|'), bar2 = line.find('|', bar1 + 1);
        bool& removed = stationRemoved[line.substr(line.rfind('|') + 1)];
        removed = removed || bar2 - bar1 - 1 < 446;
    }
    for (const std::string& line : lines) {
        if (!line.empty())
            e.cleanedLines += !stationRemoved[line.substr(line.rfind('|') + 1)];
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (it->find("86A24040404060AC8AB09E9C406103F003") != std::string::npos) {
            e.imageLinesReversed.push_back(*it);
        }
    }
    return e;
}

std::string JsonNumber(const std::string& json, const std::string& key) {
    std::size_t at = json.find("\"" + key + "\"");
    if (at == std::string::npos)
        return "";
    at = json.find(':', at) + 1;
    while (json[at] == ' ')
        ++at;
    return json.substr(at, json.find_first_of(",}\n", at) - at);
}

TEST(SatnogsCli, GeneratedExportsGoThroughEveryCommand) {
    const struct {
        const char* name;
        tools::SatnogsExportOptions options;
    } cases[] = {
        // No station truncates: every beacon and sensor line gives exactly one record.
        {"clean.csv", {.lines = 4000, .stations = 30, .seed = 3, .shortStationRate = 0}},
        {"busy.csv",
         {.lines = 4800,
          .stations = 60,
          .seed = 4,
          .duplicateRate = 0.3,
          .shortStationRate = 0.3,
          .lowerCaseRate = 0.2}},
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
        ScratchFolder folder;
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
        EXPECT_NE(
            run.state.find("records from SatNOGS: " + std::to_string(e.lines) +
                           "\\u000d\\u000aafter removing duplicates: " + std::to_string(e.kept)),
            std::string::npos);
        const std::string base = input.substr(0, input.size() - 4);
        if (c.options.shortStationRate == 0) {
            EXPECT_EQ(JsonNumber(run.state, "TelemetryCount"), std::to_string(e.beacons));
            EXPECT_EQ(JsonNumber(run.state, "SensorCount"), std::to_string(e.sensors));
        }
        std::vector<std::string> tlm = Lines(ReadBytes(base + "_tlm.csv"));
        EXPECT_EQ(std::to_string(tlm.size() - 1), JsonNumber(run.state, "TelemetryCount"));
        for (const std::string& line : tlm)
            ASSERT_EQ(std::count(line.begin(), line.end(), ';'), 68);
        std::vector<std::string> sensor = Lines(ReadBytes(base + "_sensor.csv"));
        EXPECT_EQ(std::to_string(sensor.size() - 1), JsonNumber(run.state, "SensorCount"));
        for (const std::string& line : sensor)
            ASSERT_EQ(std::count(line.begin(), line.end(), ';'), 38);
        EXPECT_EQ(Lines(ReadBytes(base + ".tlm")).size(), 114u);
        EXPECT_EQ(Lines(ReadBytes(input + "_new")), e.imageLinesReversed);
        EXPECT_EQ(Lines(ReadBytes(base + "-cleaned.csv")).size(), e.cleanedLines);
        const std::string report = ReadBytes(base + "-stations.txt");
        EXPECT_NE(report.find("\r\nOriginal records: " + std::to_string(e.records) + "\r\n"),
                  std::string::npos);
        if (c.options.lfOnly) {
            std::string converted;
            for (char ch : text)
                converted += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
            EXPECT_EQ(ReadBytes(input), converted);
        }
    }
}

TEST(SatnogsCli, ExportsWithoutInputFileFailAndTheRealExportIsRefusedByTheAnalysis) {
    ScratchFolder folder;
    CliRun none = RunCli(folder, "write-tlm-csv");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no input file"), std::string::npos);

    const std::string real =
        std::string(QUORBEL_SHARED_TESTDATA) + "/real/satnogs-db-export-43617-month-head2000.csv";
    if (!std::filesystem::exists(real))
        GTEST_SKIP() << "no shared test data";
    const std::string input = folder.Write("real.csv", ReadBytes(real));
    CliRun run = RunCli(folder, "open-satnogs '" + input + "' crop-images '" + input + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "message: Expected four columns on line 1\n");
    EXPECT_NE(run.state.find("after removing duplicates: 1273"), std::string::npos);
    EXPECT_EQ(ReadBytes(input + "_new"), "");  // another satellite: no image-data frames
}

}  // namespace
}  // namespace quorbel
