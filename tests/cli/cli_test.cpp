// quorbel-cli end to end: generated captures in, the dumped window model and exit statuses out.
#include "cli_app.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include <sys/wait.h>

#include "cli_platform.hpp"
#include "sample_frames.hpp"
#include "ssdv_test_support.hpp"
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
CliRun RunProgram(const std::string& args, bool withErrors = false,
                  const std::string& program = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli") {
    const std::string command =
        "'" + program + "' " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
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
    EXPECT_NE(run.out.find("\"telemetryCount\":150"), std::string::npos);
    EXPECT_NE(run.out.find("\"sensorCount\":120"), std::string::npos);
    EXPECT_NE(run.out.find("\"selectedField\":1"), std::string::npos);
    EXPECT_NE(run.out.find("\"satelliteName\":\"QUORBEL-1U\""), std::string::npos);
    EXPECT_NE(run.out.find("\"chartTitle\":\"Batt Voltage (mV)\""), std::string::npos);
    EXPECT_NE(run.out.find("\"pointsPerLabel\":3"), std::string::npos);  // 150 points
    EXPECT_NE(run.out.find("\"rgb\":[0,0,255]"), std::string::npos);     // a digipeated message
    EXPECT_NE(run.out.find("| Hello from orbit! 73 de QUORBEL\\u000d\\u000a"), std::string::npos);
    EXPECT_NE(run.out.find("\"\xC2\xB5Sv/h\""), std::string::npos);  // the unit in UTF-8
    EXPECT_NE(run.out.find("\"readerLog\":\"kiss frames: "), std::string::npos);
    EXPECT_NE(run.out.find("\"connectionLamp\":[192,192,192]"), std::string::npos);
}

TEST_F(CliTest, CommandsRunInOrderOnOneState) {
    const CliRun run =
        RunCliIn({"--locale", "C", "open-kiss", capture, "show-record", "5", "select-field", "88",
                  "--group", "dump-state", "bars", "on", "dump-state"},
                 folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"recordCounter\":\"#5 / 120\""), std::string::npos);
    const auto second = run.out.find("{\"windowTitle\"", 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(run.out.substr(0, second).find("\"legend\":\"Ang Vel Z\",\"rgb\":[176,48,96]"),
              std::string::npos);
    // "bars on" redraws the selected field alone, as bars.
    EXPECT_NE(run.out.substr(second).find(
                  "\"kind\":\"bar\",\"series\":[{\"legend\":\"Ang Vel X\",\"rgb\":null"),
              std::string::npos);

    const std::string dump = folder.File("state.json");
    EXPECT_EQ(RunCliIn({"open-kiss", capture, "dump-state", dump}, folder.Path()).status, 0);
    EXPECT_NE(testing::TempFolder::Read(dump).find("\"telemetryCount\":150"), std::string::npos);
}

TEST_F(CliTest, VerboseReadsShowTheirDiagnosticsAndTheStateHoldsThemAndTheTimeAxis) {
    const CliRun run = RunCliIn(
        {"--locale", "C", "--verbose", "open-kiss", capture, "time-axis", "on", "dump-state"},
        folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    // The sample pass: 150 beacons, 120 sensor frames, 4 texts, 3 digipeated messages, 6 SSDV
    // packets and one frame of an unknown identifier.
    EXPECT_NE(run.err.find("file: " + capture + "\n  beacon frames:"), std::string::npos);
    EXPECT_NE(run.err.find("  unknown identifier frames:                1\n"), std::string::npos);
    EXPECT_NE(run.err.find("  records dropped at the 5,000 cap:         0\n"), std::string::npos);
    EXPECT_NE(run.out.find("\"diagnostics\":[{\"file\":\"" + capture +
                           "\",\"frames\":{\"beacon\":150,\"sensor\":120,\"text\":4,"
                           "\"digipeater\":3,\"SSDV\":6,\"unknown identifier\":1},"
                           "\"droppedAtCap\":0,\"overlongFrames\":0}]"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"chartTimeAxis\":true"), std::string::npos);
    EXPECT_NE(run.out.find("\"timeAxis\":true,\"times\":[1700000000,1700000005.137,"),
              std::string::npos);
    // The log keeps exactly its own text.
    EXPECT_NE(run.out.find("\"readerLog\":\"kiss frames: 1136\\u000d\\u000a\""), std::string::npos);

    // Without --verbose standard error stays quiet.
    EXPECT_EQ(RunCliIn({"open-kiss", capture}, folder.Path()).err, "");
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
        {"time-axis", "maybe"},
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
    const CliRun run =
        RunCliIn({"open-kiss", folder.File("nope.kss"), capture, "dump-state"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot read " + folder.File("nope.kss")), std::string::npos);
    EXPECT_NE(run.out.find("\"telemetryCount\":150"), std::string::npos);
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
    const CliRun run =
        RunCliIn({"open-kiss", capture, "select-field", "81", "dump-state"}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto start = run.out.find("\"fieldSelected\":[");
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

    // One line per frame, the whole pass in the stores, every frame recorded once in order; the
    // pass's six SSDV packets of image 2 in its packet file and table.
    const std::vector<std::string> sent = DataFrames(testing::TempFolder::Read(capture));
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(appDir)) {
        if (entry.path().extension() == ".kss")
            files.push_back(entry.path().string());
    }
    EXPECT_EQ(std::filesystem::file_size(appDir + "/ssdv_002.bin"), 6u * 118u);
    EXPECT_NE(run.out.find("\"ssdvPackets\":{\"2\":6}"), std::string::npos);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].ends_with("_QUORBEL-1U.kss")) << files[0];
    EXPECT_EQ(DataFrames(testing::TempFolder::Read(files[0])), sent);
    EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')),
              sent.size() + std::count(run.out.begin() + run.out.find("{"), run.out.end(), '\n'));
    EXPECT_NE(run.out.find(" UTC beacon QUORBEL-1U\n"), std::string::npos);
    EXPECT_NE(run.out.find("\"telemetryCount\":150"), std::string::npos);
    EXPECT_NE(run.out.find("\"sensorCount\":120"), std::string::npos);
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
    EXPECT_NE(retried.out.find("quorbel-cli: 127.0.0.1:1 Error: Connection refused\n"
                               "quorbel-cli: connecting again in 1 s\n"
                               "quorbel-cli: 127.0.0.1:1 Connecting\n"),
              std::string::npos)
        << retried.out;
    EXPECT_NE(retried.out.find("connecting again in 2 s"), std::string::npos) << retried.out;

    // A conf.ini port that is not one: named, not tried, and not tried again.
    folder.Write("conf.ini", std::string("TCP_SERVER=127.0.0.1\r\nTCP_PORT=70000\r\n"));
    const CliRun badPort =
        RunProgram("--app-dir '" + folder.Path() + "' listen --seconds 5 --reconnect", true);
    EXPECT_EQ(badPort.status, 1);
    EXPECT_EQ(badPort.out, "quorbel-cli: conf.ini: TCP_PORT=70000 is not a port (1 to 65535)\n");
}

TEST_F(CliTest, ListenIsHandedToTheLiveToolBesideOrInstalled) {
    namespace fs = std::filesystem;
    // The plain tool loads no Qt library: its commands start without the network code.
    const CliRun plain =
        RunProgram("'" + std::string(QUORBEL_BIN_DIR) + "/quorbel-cli'", false, "/usr/bin/ldd");
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out.find("Qt6"), std::string::npos) << plain.out;

    // Alone in a folder, it says what is missing and writes nothing.
    const std::string alone = folder.Path() + "/alone";
    const std::string station = folder.Path() + "/station";
    fs::create_directories(alone);
    fs::create_directories(station);
    fs::copy_file(std::string(QUORBEL_BIN_DIR) + "/quorbel-cli", alone + "/quorbel-cli");
    const CliRun missing =
        RunProgram("--app-dir '" + station + "' listen --seconds 1 --host 127.0.0.1 --port 1", true,
                   alone + "/quorbel-cli");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("listen needs quorbel-cli-live beside quorbel-cli"),
              std::string::npos)
        << missing.out;
    EXPECT_TRUE(fs::is_empty(station));

    // Installed: the live tool in ../libexec/quorbel-decoder runs the whole command line in the
    // plain tool's application folder, whose conf.ini names the server (port 1 of the loopback
    // address refuses the connection).
    const std::string prefix = folder.Path() + "/usr";
    fs::create_directories(prefix + "/bin");
    fs::create_directories(prefix + "/libexec/quorbel-decoder");
    fs::copy_file(std::string(QUORBEL_BIN_DIR) + "/quorbel-cli", prefix + "/bin/quorbel-cli");
    fs::copy_file(std::string(QUORBEL_BIN_DIR) + "/quorbel-cli-live",
                  prefix + "/libexec/quorbel-decoder/quorbel-cli-live");
    folder.Write("usr/bin/conf.ini", std::string("TCP_SERVER=127.0.0.1\r\nTCP_PORT=1\r\n"));
    const CliRun installed =
        RunProgram("listen --seconds 5 dump-state", true, prefix + "/bin/quorbel-cli");
    EXPECT_EQ(installed.status, 1);
    EXPECT_NE(installed.out.find("quorbel-cli: 127.0.0.1:1 Error: Connection refused\n"),
              std::string::npos)
        << installed.out;
    EXPECT_NE(installed.out.find("\"telemetryCount\":0"), std::string::npos) << installed.out;
}

TEST_F(CliTest, TheApplicationFolderIsChosenAndNamedInTheHelp) {
    // A writable program folder is a portable copy, and --help says so.
    CliRun help = RunCliIn({"--help"}, folder.Path());
    ASSERT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("application folder: " + folder.Path() + "\n"), std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("portable copy"), std::string::npos);
    help = RunCliIn({"--app-dir", "/srv/station", "--help"}, folder.Path());
    EXPECT_NE(help.out.find("application folder: /srv/station\n  (given with --app-dir)"),
              std::string::npos);

    // A program folder that cannot be written to (here: one that is not there, which holds
    // for root too) sends the files to the user's data folder, made on first start with its
    // example conf.ini, which is read at once.
    const std::string data = folder.File("data");
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string oldValue = old ? old : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const CliRun run =
        RunCliIn({"--locale", "C", "open-kiss", capture, "dump-state"}, folder.File("bin"));
    help = RunCliIn({"--help"}, folder.File("bin"));
    old ? setenv("XDG_DATA_HOME", oldValue.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(data + "/quorbel-decoder/conf.ini"));
    EXPECT_NE(run.out.find("\"connectionText\":\"[LOCALHOST:8100]\""), std::string::npos);
    EXPECT_NE(help.out.find(data + "/quorbel-decoder\n  (the user's data folder)"),
              std::string::npos)
        << help.out;
}

// The packets of a picture drawn for the test, as the satellite sends them.
std::vector<std::uint8_t> PicturePackets(int imageId) {
    const std::vector<std::uint8_t> jpeg = ssdv::test::MakeJpeg({.width = 160, .height = 96});
    return samples::EncodePicturePackets(jpeg, imageId);
}

// True when no child of this process is left unreaped.
bool NoChildLeft() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST_F(CliTest, APassWithAPictureGivesTheSamePictureAsTheDecoderOnItsPackets) {
    const std::vector<std::uint8_t> packets = PicturePackets(9);
    ASSERT_GT(packets.size(), 10u * 118u);
    samples::PassOptions pass;
    pass.picturePackets = packets;
    const std::string picturePass =
        folder.Write("picture pass.kss", samples::MakePassCapture(pass));
    // A folder that does not exist yet is made for the run's files.
    const std::string station = folder.Path() + "/new/the station's \"folder\"";

    // quorbel-cli finds the decoder beside itself; an export runs while it decodes, and the
    // dump after it waits for the picture, which is in the image list by then.
    const CliRun run =
        RunCliIn({"--app-dir", station, "open-kiss", picturePass, "write-tlm-csv", "dump-state"},
                 QUORBEL_BIN_DIR);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(NoChildLeft());
    EXPECT_NE(run.out.find("\"imageFiles\":[\"ssdv_009.jpg\"]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"ssdvPackets\":{\"9\":" + std::to_string(packets.size() / 118) + "}"),
              std::string::npos);
    const std::string decoded = testing::TempFolder::Read(station + "/ssdv_009.jpg");
    ASSERT_FALSE(decoded.empty());

    // The same packets decoded by the program by hand give the same bytes.
    const std::string packetFile = folder.Write("packets.bin", packets);
    const std::string byHand = folder.File("by hand.jpg");
    ASSERT_EQ(std::system(("'" + std::string(QUORBEL_BIN_DIR) + "/ssdv' -d -l 118 '" + packetFile +
                           "' '" + byHand + "' 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(decoded, testing::TempFolder::Read(byHand));
    ssdv::test::ExpectCleanJpeg(std::vector<std::uint8_t>(decoded.begin(), decoded.end()),
                                "decoded pass");
}

TEST_F(CliTest, APictureWithATenthOfItsPacketsLostHasGreyBlocks) {
    std::vector<std::uint8_t> packets = PicturePackets(3);
    const std::size_t count = packets.size() / 118;
    std::vector<std::uint8_t> kept;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 10 != 4)  // every tenth packet lost, from the fifth on
            kept.insert(kept.end(), packets.begin() + 118 * i, packets.begin() + 118 * (i + 1));
    }
    samples::PassOptions pass;
    pass.picturePackets = kept;
    const std::string lossy = folder.Write("lossy.kss", samples::MakePassCapture(pass));
    const CliRun run =
        RunCliIn({"--app-dir", folder.Path(), "open-kiss", lossy, "decode-images", "dump-state"},
                 QUORBEL_BIN_DIR);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"imageFiles\":[\"ssdv_003.jpg\"]"), std::string::npos)
        << "the decoded pictures are in the image list when the command is done";
    const std::string decoded = testing::TempFolder::Read(folder.File("ssdv_003.jpg"));
    const ssdv::test::DecodedPicture picture =
        ssdv::test::DecodeJpeg(std::vector<std::uint8_t>(decoded.begin(), decoded.end()), true);
    ASSERT_TRUE(picture.ok) << picture.firstMessage;
    // A lost packet leaves its blocks mid-grey: a run of 16 grey pixels in some row.
    bool greyRun = false;
    for (std::size_t start = 0; start + 16 <= picture.pixels.size() && !greyRun; start += 16) {
        greyRun = std::all_of(picture.pixels.begin() + start, picture.pixels.begin() + start + 16,
                              [](std::uint8_t v) { return v >= 124 && v <= 132; });
    }
    EXPECT_TRUE(greyRun);
    EXPECT_TRUE(NoChildLeft());
}

TEST(CliPlatformTest, FinishedHelperProgramsAreReapedAndTheRestWaitedFor) {
    // Beside the program first, then the PATH; a file that cannot be run is no program.
    const testing::TempFolder programs;
    const std::string beside = programs.Write("sh", std::string("#!/bin/sh\n"));
    std::filesystem::permissions(beside, std::filesystem::perms::owner_all);
    programs.Write("ssdv", std::string("not a program"));
    std::ostringstream messages;
    cli::CliPlatform platform(messages, programs.Path());
    EXPECT_EQ(platform.FindProgram("sh"), beside);
    EXPECT_TRUE(cli::CliPlatform(messages, "/nonexistent").FindProgram("sh").ends_with("bin/sh"));
    EXPECT_EQ(platform.FindProgram("no-such-program-anywhere"), "");
    if (platform.FindProgram("ssdv") == programs.File("ssdv"))
        ADD_FAILURE() << "a file without execute permission was taken as the program";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(platform.StartDetached("/bin/sh", {"-c", "exit 3"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The finished three are reaped at the next start; none of them lingers as a zombie.
    ASSERT_TRUE(platform.StartDetached("/bin/sh", {"-c", "sleep 0.2"}));
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), 0) << "only the sleeping child is left";
    platform.WaitForStartedPrograms();
    EXPECT_TRUE(NoChildLeft());
    EXPECT_FALSE(platform.StartDetached("/no/such/program", {}));
    EXPECT_TRUE(NoChildLeft());
}

TEST(CliProgramTest, TheCommittedSampleDecodes) {
    const std::string sample = std::string(QUORBEL_SOURCE_DIR) + "/samples/pass.kss";
    const testing::TempFolder station;
    const CliRun run = RunProgram("--app-dir " + station.Path() + " --locale C open-kiss " +
                                  sample + " show-record 3 dump-state");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"telemetryCount\":60"), std::string::npos);
    EXPECT_NE(run.out.find("\"recordCounter\":\"#3 / 60\""), std::string::npos);
    EXPECT_EQ(RunProgram("no-such-command").status, 2);
}

}  // namespace
}  // namespace quorbel
