// quorbel-cli end to end: generated captures in, the dumped window model and exit statuses out.
#include "cli_app.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "sample_frames.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunCliIn(std::vector<std::string> args, const std::string& appDir = ".") {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, appDir, out, err);
    return {status, out.str(), err.str()};
}

// Runs the built program itself, as a script would; standard error is dropped or, with
// withErrors, read after standard output.
CliRun RunProgram(const std::string& args, bool withErrors = false) {
    const std::string command = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli " + args +
                                (withErrors ? " 2>&1" : " 2>/dev/null");
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {-1, "", ""};
    std::array<char, 4096> buffer;
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        out.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WEXITSTATUS(status), out, ""};
}

class CliTest : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    std::string capture;

    void SetUp() override {
        samples::PassOptions options;
        options.beacons = 150;
        options.sensorFrames = 120;
        capture = folder.Write("pass.kss", samples::MakePassCapture(options));
    }
};

TEST_F(CliTest, OpenKissDecodesTheWholePass) {
    const CliRun run =
        RunCliIn({"--locale", "C", "open-kiss", capture, "dump-state"}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"TelemetryCount\":150"), std::string::npos);
    EXPECT_NE(run.out.find("\"SensorCount\":120"), std::string::npos);
    EXPECT_NE(run.out.find("\"SelectedField\":1"), std::string::npos);
    EXPECT_NE(run.out.find("\"Label5\":\"QUORBEL-1U\""), std::string::npos);
    EXPECT_NE(run.out.find("\"Frame1\":\"Batt Voltage (mV)\""), std::string::npos);
    EXPECT_NE(run.out.find("\"pointsPerLabel\":3"), std::string::npos);  // 150 points
    EXPECT_NE(run.out.find("\"rgb\":[0,0,255]"), std::string::npos);     // a digipeated message
    EXPECT_NE(run.out.find("| Hello from orbit! 73 de QUORBEL\\u000d\\u000a"), std::string::npos);
    EXPECT_NE(run.out.find("\"\xC2\xB5Sv/h\""), std::string::npos);  // the unit in UTF-8
    EXPECT_NE(run.out.find("\"Text5\":\"kiss frames: "), std::string::npos);
    EXPECT_NE(run.out.find("\"Lamp\":[192,192,192]"), std::string::npos);
}

TEST_F(CliTest, CommandsRunInOrderOnOneState) {
    const CliRun run =
        RunCliIn({"--locale", "C", "open-kiss", capture, "show-record", "5", "select-field", "88",
                  "--group", "dump-state", "bars", "on", "dump-state"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"Text2\":\"#5 / 120\""), std::string::npos);
    const auto second = run.out.find("{\"Form1\"", 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(run.out.substr(0, second).find("\"legend\":\"Ang Vel Z\",\"rgb\":[176,48,96]"),
              std::string::npos);
    // "bars on" redraws the selected field alone, as bars.
    EXPECT_NE(run.out.substr(second).find(
                  "\"kind\":\"bar\",\"series\":[{\"legend\":\"Ang Vel X\",\"rgb\":null"),
              std::string::npos);

    const std::string dump = folder.File("state.json");
    EXPECT_EQ(RunCliIn({"open-kiss", capture, "dump-state", dump}).status, 0);
    EXPECT_NE(testing::TempFolder::Read(dump).find("\"TelemetryCount\":150"), std::string::npos);
}

TEST_F(CliTest, WrongCommandLinesExitWithTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"open-kiss"},
        {"select-field", "107"},
        {"select-field", "1", "--shift"},
        {"show-record", "-1"},
        {"--locale", "de", "dump-state"},
        {"--app-dir"},
        {"dump-state", "a.json", "b.json"},
    };
    for (const auto& args : wrong) {
        const CliRun run = RunCliIn(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage: quorbel-cli"), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
    const CliRun help = RunCliIn({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("open-kiss FILE..."), std::string::npos);
}

TEST_F(CliTest, MissingFileIsReportedAndTheRestStillRuns) {
    const CliRun run = RunCliIn({"open-kiss", folder.File("nope.kss"), capture, "dump-state"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot read " + folder.File("nope.kss")), std::string::npos);
    EXPECT_NE(run.out.find("\"TelemetryCount\":150"), std::string::npos);
    EXPECT_NE(run.out.find("kiss frames: -1"), std::string::npos);
}

TEST_F(CliTest, FoldersAndDevicesAreRefusedAndNothingIsWritten) {
    const std::string dir = folder.Path() + "/captures";
    std::filesystem::create_directory(dir);
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"open-kiss", dir, "dump-state"}, " is a folder, not a file"},
        {{"open-satnogs", dir, "dump-state"}, " is a folder, not a file"},
        {{"open-kiss", "/dev/null", "dump-state"}, " is not a regular file"},
        {{"crop-images", dir}, " could not be read"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCliIn(c.args, folder.Path());
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_NE(run.err.find(c.args[1] + c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("kiss frames"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("records from SatNOGS"), std::string::npos) << run.out;
    }
    // Only the folder itself and the capture: no cleaned copy, report or crop beside it.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"captures", "pass.kss"}));
}

TEST_F(CliTest, SelectFieldSetsTheSelectorAsTheWindowsClickDoes) {
    const CliRun run = RunCliIn({"open-kiss", capture, "select-field", "81", "dump-state"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto start = run.out.find("\"Option1Value\":[");
    ASSERT_NE(start, std::string::npos);
    std::string set = run.out.substr(start, run.out.find(']', start) - start);
    // The end of the read sets selector 0, the click moves the mark to 81 alone.
    std::vector<int> marked;
    std::size_t index = 0;
    for (std::size_t p = set.find('[') + 1; p < set.size(); p = set.find(',', p) + 1, ++index) {
        if (set.compare(p, 4, "true") == 0)
            marked.push_back(static_cast<int>(index));
        if (set.find(',', p) == std::string::npos)
            break;
    }
    EXPECT_EQ(marked, (std::vector<int>{81}));
}

// The data frames of a capture (pieces between FENDs that are not empty and not stamps).
std::vector<std::string> DataFrames(const std::string& capture) {
    std::vector<std::string> frames;
    std::size_t start = capture.find('\xC0');
    while (start != std::string::npos) {
        const std::size_t end = capture.find('\xC0', start + 1);
        if (end == std::string::npos)
            break;
        const std::string piece = capture.substr(start + 1, end - start - 1);
        if (!piece.empty() && piece[0] != '\x09')
            frames.push_back(piece);
        start = end;
    }
    return frames;
}

TEST_F(CliTest, ListenRecordsEveryFrameOfTheReplayOnceInOrder) {
    // The replay server cuts its stream at random places and closes after the last frame.
    const std::string replay =
        std::string(QUORBEL_BIN_DIR) + "/quorbel-kiss-replay '" + capture +
        "' --port 0 --once --chunk random --seed 3 --rate 0 --max-seconds 30";
    FILE* server = popen(replay.c_str(), "r");
    ASSERT_NE(server, nullptr);
    std::array<char, 256> line{};
    std::string port;
    while (port.empty() && fgets(line.data(), line.size(), server) != nullptr) {
        const std::string text = line.data();
        if (text.starts_with("listening on 127.0.0.1:"))
            port = text.substr(23, text.find_last_not_of("\r\n") - 22);
    }
    ASSERT_FALSE(port.empty());
    const std::string appDir = folder.Path() + "/station";
    std::filesystem::create_directory(appDir);
    const CliRun run =
        RunProgram("--app-dir '" + appDir + "' listen --seconds 20 --host 127.0.0.1 --port " +
                   port + " dump-state");
    EXPECT_EQ(pclose(server), 0);
    ASSERT_EQ(run.status, 0);

    // One line per frame, the whole pass in the stores, every frame recorded once in order.
    const std::vector<std::string> sent = DataFrames(testing::TempFolder::Read(capture));
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(appDir))
        files.push_back(entry.path().string());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].ends_with("_QUORBEL-1U.kss")) << files[0];
    EXPECT_EQ(DataFrames(testing::TempFolder::Read(files[0])), sent);
    EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')),
              sent.size() + std::count(run.out.begin() + run.out.find("{"), run.out.end(), '\n'));
    EXPECT_NE(run.out.find(" UTC beacon QUORBEL-1U\n"), std::string::npos);
    EXPECT_NE(run.out.find("\"TelemetryCount\":150"), std::string::npos);
    EXPECT_NE(run.out.find("\"SensorCount\":120"), std::string::npos);
}

TEST_F(CliTest, ListenWithoutAServerEndsWithAnErrorUnlessItReconnects) {
    // Port 1 on the loopback address: nobody listens there.
    const CliRun refused = RunProgram("--app-dir '" + folder.Path() +
                                      "' listen --seconds 5 --host 127.0.0.1 --port 1");
    EXPECT_EQ(refused.status, 1);
    // With --reconnect: every state change on standard error, and pauses of 1 s, then 2 s.
    const CliRun retried =
        RunProgram("--app-dir '" + folder.Path() +
                       "' listen --seconds 2.5 --reconnect --host 127.0.0.1 --port 1",
                   true);
    EXPECT_EQ(retried.status, 0);
    EXPECT_NE(retried.out.find("quorbel-cli: 127.0.0.1:1 Error\n"
                               "quorbel-cli: connecting again in 1 s\n"
                               "quorbel-cli: 127.0.0.1:1 Connecting\n"),
              std::string::npos)
        << retried.out;
    EXPECT_NE(retried.out.find("connecting again in 2 s"), std::string::npos) << retried.out;
}

TEST_F(CliTest, AppDirGivesConfIniAndImageList) {
    folder.Write("conf.ini", std::string("TCP_SERVER=localhost\r\nTCP_PORT=8100\r\n"));
    folder.Write("ssdv_003.jpg", std::string("x"));
    const CliRun run = RunCliIn({"--app-dir", folder.Path(), "dump-state"});
    EXPECT_NE(run.out.find("\"Label2\":\"[LOCALHOST:8100]\""), std::string::npos);
    EXPECT_NE(run.out.find("\"File1\":[\"ssdv_003.jpg\"]"), std::string::npos);
}

TEST(CliProgramTest, TheCommittedSampleDecodes) {
    const std::string sample = std::string(QUORBEL_SOURCE_DIR) + "/samples/pass.kss";
    const CliRun run = RunProgram("--locale C open-kiss " + sample + " show-record 3 dump-state");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"TelemetryCount\":60"), std::string::npos);
    EXPECT_NE(run.out.find("\"Text2\":\"#3 / 60\""), std::string::npos);
    EXPECT_EQ(RunProgram("no-such-command").status, 2);
}

}  // namespace
}  // namespace quorbel
