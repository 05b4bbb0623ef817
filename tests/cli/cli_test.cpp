// quorbel-cli end to end: generated captures in, the dumped window model and exit statuses out.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "cli_platform.hpp"
#include "cli_run.hpp"
#include "json_state.hpp"
#include "kiss_replay.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "ssdv_test_support.hpp"
#include "support/child_process.hpp"
#include "support/loopback_listener.hpp"
#include "support/mounted_folder.hpp"
#include "support/pass_frames.hpp"
#include "support/replay_server.hpp"
#include "support/state_json.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using nlohmann::json;
using testing::CliRun;
using testing::DumpedState;
using testing::DumpedStates;
using testing::FileNames;
using testing::RunCliIn;
using testing::StateText;

// Runs the built program itself, as a script would; standard error is dropped or, with
// withErrors, read after standard output.
CliRun RunProgram(const std::string& args, bool withErrors = false,
                  const std::string& program = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli") {
    auto [status, out] =
        testing::ShellOutput("'" + program + "' " + args + (withErrors ? " 2>&1" : " 2>/dev/null"));
    return {status, std::move(out), ""};
}

using CliTest = testing::PassInFolderTest;

TEST_F(CliTest, CommandsRunInOrderOnOneState) {
    const CliRun run =
        RunCliIn({"--locale",     "C",           "--verbose", "open-kiss",    capture,
                  "dump-state",   "time-axis",   "on",        "dump-state",   "time-axis",
                  "off",          "show-record", "5",         "select-field", "88",
                  "--group",      "dump-state",  "bars",      "on",           "dump-state",
                  "select-field", "81",          "dump-state"},
                 folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<json> states = DumpedStates(run.out);
    ASSERT_EQ(states.size(), 5u);

    // The whole pass: 150 beacons, 120 sensor frames, 4 texts, 3 digipeated messages, 6 SSDV
    // packets and one frame of an unknown identifier.
    json& state = states[0];
    EXPECT_EQ(state["telemetryCount"], 150);
    EXPECT_EQ(state["sensorCount"], 120);
    EXPECT_EQ(state["selectedField"], 1);
    EXPECT_EQ(state["satelliteName"], "QUORBEL-1U");
    EXPECT_EQ(state["chartTitle"], "Batt Voltage (mV)");
    EXPECT_EQ(state["chart"]["pointsPerLabel"], 3);  // 150 points
    // A text message in black, a digipeated one in blue.
    bool text = false, digipeated = false;
    for (json& entry : state["messageLog"]) {
        const std::string words = StateText(entry, "text");
        text = text || (words.find("| Hello from orbit! 73 de QUORBEL\r\n") != std::string::npos &&
                        entry["rgb"] == json::array({0, 0, 0}));
        digipeated = digipeated || entry["rgb"] == json::array({0, 0, 255});
    }
    EXPECT_TRUE(text && digipeated) << state["messageLog"];
    const json& units = state["fieldUnits"];
    EXPECT_NE(std::find(units.begin(), units.end(), "\xC2\xB5Sv/h"), units.end());  // UTF-8
    EXPECT_EQ(state["connectionLamp"], json::array({192, 192, 192}));
    // --verbose shows the read's diagnostics, and the state holds them; the log keeps exactly its
    // own text.
    EXPECT_NE(run.err.find("file: " + capture + "\n  beacon frames:"), std::string::npos);
    EXPECT_NE(run.err.find("  unknown identifier frames:                1\n"), std::string::npos);
    EXPECT_NE(run.err.find("  records dropped at the 5,000 cap:         0\n"), std::string::npos);
    const json frames = {{"beacon", 150},   {"sensor", 120}, {"text", 4},
                         {"digipeater", 3}, {"SSDV", 6},     {"unknown identifier", 1}};
    EXPECT_EQ(
        state["diagnostics"],
        json::array(
            {{{"file", capture}, {"frames", frames}, {"droppedAtCap", 0}, {"overlongFrames", 0}}}));
    EXPECT_EQ(state["readerLog"], "kiss frames: 1136\r\n");
    // Without --verbose standard error stays quiet.
    EXPECT_EQ(RunCliIn({"open-kiss", capture}, folder.Path()).err, "");

    EXPECT_EQ(states[1]["chartTimeAxis"], true);
    EXPECT_EQ(states[1]["chart"]["timeAxis"], true);
    const json& times = states[1]["chart"]["times"];
    ASSERT_GE(times.size(), 2u);
    EXPECT_EQ(times[0], 1700000000);
    EXPECT_EQ(times[1], 1700000005.137);

    EXPECT_EQ(states[2]["recordCounter"], "#5 / 120");
    json& group = states[2]["chart"]["series"];
    EXPECT_NE(std::find_if(group.begin(), group.end(),
                           [](json& series) {
                               return series["legend"] == "Ang Vel Z" &&
                                      series["rgb"] == json::array({176, 48, 96});
                           }),
              group.end())
        << group;
    // "bars on" redraws the selected field alone, as bars.
    json& bars = states[3]["chart"];
    EXPECT_EQ(bars["kind"], "bar");
    ASSERT_EQ(bars["series"].size(), 1u);
    EXPECT_EQ(bars["series"][0]["legend"], "Ang Vel X");
    EXPECT_TRUE(bars["series"][0]["rgb"].is_null());

    // The end of the read set selector 0; the click moves the mark to 81 alone, as in the window.
    const json selected = states[4]["fieldSelected"];
    ASSERT_EQ(selected.size(), 107u);
    std::vector<int> marked;
    for (std::size_t index = 0; index < selected.size(); ++index) {
        if (selected[index] == true)
            marked.push_back(static_cast<int>(index));
    }
    EXPECT_EQ(marked, (std::vector<int>{81}));
}

TEST(DumpStateTest, TextsComeOutAsUtf8AndNumbersReadBackWhole) {
    std::ostringstream messages;
    cli::CliPlatform platform(messages, ".");
    AppState app(platform);
    // 8-bit texts with quotes, a backslash, control characters, DEL and Latin-1 letters.
    app.ui.statusLine = "\"a\\b\"\t\x01\x7F \xB5Sv/h \xE9t\xE9 \xFF";
    app.ui.messageLog.InsertAtInsertionPoint("caf\xE9\r\n", Rgb{0, 0, 255});
    ChartSeries series{"Temp \xB0", std::nullopt, {1.5, NAN, -INFINITY, 3300}};
    app.ui.chart.series = {series};
    // From the first second of year 1 to the last millisecond of year 9999.
    app.ui.chart.times = {-62135596800.0, 0, 0.001, 1700000005.137, 253402300799.999, NAN};

    const std::string text = cli::DumpStateJson(app);
    json state = DumpedState(text);
    EXPECT_EQ(state["statusLine"], "\"a\\b\"\t\x01\x7F \xC2\xB5Sv/h \xC3\xA9t\xC3\xA9 \xC3\xBF");
    EXPECT_EQ(state["messageLog"],
              json::array({{{"text", "caf\xC3\xA9\r\n"}, {"rgb", {0, 0, 255}}}}));
    EXPECT_EQ(state["chart"]["series"], json::array({{{"legend", "Temp \xC2\xB0"},
                                                      {"rgb", nullptr},
                                                      {"values", {1.5, nullptr, nullptr, 3300}}}}));
    EXPECT_EQ(state["chart"]["times"],
              json::array({-62135596800LL, 0, 0.001, 1700000005.137, 253402300799.999, nullptr}));
    // Whole numbers are written as integers, as they always were (3300, not 3300.0).
    EXPECT_TRUE(state["chart"]["series"][0]["values"][3].is_number_integer());
    EXPECT_TRUE(state["chart"]["times"][0].is_number_integer());
    // Times are written digit for digit, never with an exponent.
    const std::size_t times = text.find("\"times\":[");
    ASSERT_NE(times, std::string::npos);
    const std::size_t first = times + 9;
    const std::string written = text.substr(first, text.find(']', first) - first);
    EXPECT_EQ(written.find_first_of("eE"), std::string::npos) << written;
    EXPECT_TRUE(text.ends_with("}\n"));
}

// A usage error says what is wrong and writes nothing, not even the archive.
TEST_F(CliTest, WrongCommandLinesExitWithTwo) {
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{}, "usage: quorbel-cli"},
        {{"frobnicate"}, "usage: quorbel-cli"},
        {{"open-kiss"}, "usage: quorbel-cli"},
        {{"select-field", "107"}, "usage: quorbel-cli"},
        {{"select-field", "1", "--shift"}, "usage: quorbel-cli"},
        {{"show-record", "-1"}, "usage: quorbel-cli"},
        {{"--locale", "de", "dump-state"}, "usage: quorbel-cli"},
        {{"--app-dir"}, "usage: quorbel-cli"},
        {{"dump-state", "a.json", "b.json"}, "usage: quorbel-cli"},
        {{"time-axis", "maybe"}, "usage: quorbel-cli"},
        {{"archive-query", "68"}, "fields 67 to 69"},
        {{"archive-query", "107"}, "0 to 106"},
        {{"archive-query", "Flux Capacitor"}, "no field has the caption"},
        {{"archive-query"}, "missing argument"},
        {{"archive-query", "1", "--buckets", "0"}, "--buckets"},
        {{"archive-query", "1", "--from", "2023-13-01"}, "is not a UTC time"},
        {{"archive-open", "--to", "yesterday"}, "is not a UTC time"},
        {{"archive-open", "--from", "2024-01-02", "--to", "2024-01-01"}, "before --to"},
        {{"archive-open", "--from"}, "missing value"},
        {{"archive-stats", "x"}, "too many arguments"},
        {{"--archive"}, "wrong option"},
    };
    for (const auto& [args, text] : wrong) {
        const CliRun run = RunCliIn(args, folder.Path());
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{"pass.kss"});
}

TEST_F(CliTest, MissingFileIsReportedAndTheRestStillRuns) {
    const CliRun run =
        RunCliIn({"open-kiss", folder.File("nope.kss"), capture, "dump-state"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("quorbel-cli: " + folder.File("nope.kss") +
                           " could not be read: No such file or directory\n"),
              std::string::npos)
        << run.err;
    json state = DumpedState(run.out);
    EXPECT_EQ(state["telemetryCount"], 150);
    EXPECT_NE(StateText(state, "readerLog").find("kiss frames: -1"), std::string::npos);
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
        const std::string log = run.out.empty() ? "" : StateText(DumpedState(run.out), "readerLog");
        EXPECT_EQ(log.find("kiss frames"), std::string::npos) << log;
        EXPECT_EQ(log.find("records from SatNOGS"), std::string::npos) << log;
    }
    // Only the folder itself, the capture and the mission archive opened at the start (which
    // holds no frame): no cleaned copy, report or crop beside it.
    EXPECT_EQ(FileNames(folder.Path()),
              (std::vector<std::string>{"archive.sqlite", "captures", "pass.kss"}));
    EXPECT_EQ(DumpedState(RunCliIn({"archive-stats"}, folder.Path()).out)["frames"],
              json::object());
}

// The data frames of a capture file, as the replay server sends them.
std::vector<Bytes> DataFrames(const std::string& path) {
    const std::string bytes = testing::TempFolder::Read(path);
    return replay::CaptureDataFrames(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// The one capture file a listen recorded in its application folder.
std::string RecordedCapture(const std::string& appDir) {
    std::vector<std::string> files;
    for (const std::string& name : FileNames(appDir)) {
        if (name.ends_with(".kss"))
            files.push_back(appDir + "/" + name);
    }
    EXPECT_EQ(files.size(), 1u) << appDir;
    EXPECT_TRUE(files.empty() || files[0].ends_with("_QUORBEL-1U.kss")) << files[0];
    return files.empty() ? "" : files[0];
}

// A replay server on 127.0.0.1 that sends the files once, cut at random places, as fast as it can.
testing::ReplayServer StartReplay(const std::vector<std::string>& files) {
    return testing::ReplayServer(files, "--once --chunk random --seed 3 --rate 0 --max-seconds 30");
}

TEST_F(CliTest, ListenRecordsEveryFrameOfTheReplayOnceInOrder) {
    testing::ReplayServer server = StartReplay({capture});
    ASSERT_FALSE(server.Port().empty());
    const std::string appDir = folder.Path() + "/station";
    std::filesystem::create_directory(appDir);
    std::ofstream(appDir + "/conf.ini") << "STATION = DL0Live\n";
    const CliRun run =
        RunProgram("--app-dir '" + appDir + "' listen --seconds 20 --host 127.0.0.1 --port " +
                   server.Port() + " dump-state archive-stats");
    EXPECT_EQ(server.Close(), 0);
    ASSERT_EQ(run.status, 0);

    // One line per frame, the whole pass in the stores, every frame recorded once in order; the
    // pass's six SSDV packets of image 2 in its packet file and table.
    const std::vector<Bytes> sent = DataFrames(capture);
    EXPECT_EQ(std::filesystem::file_size(appDir + "/ssdv_002.bin"), 6u * 118u);
    json state = DumpedStates(run.out).front();
    EXPECT_EQ(state["ssdvPackets"], json({{"2", 6}}));
    EXPECT_EQ(DataFrames(RecordedCapture(appDir)), sent);
    EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')),
              sent.size() + std::count(run.out.begin() + run.out.find("{"), run.out.end(), '\n'));
    EXPECT_NE(run.out.find(" UTC beacon QUORBEL-1U\n"), std::string::npos);
    EXPECT_EQ(state["telemetryCount"], 150);
    EXPECT_EQ(state["sensorCount"], 120);

    // Every frame is in the archive of the application folder, received by the station of
    // conf.ini; the digipeated message the pass repeats within ten minutes is one frame.
    const json stats = DumpedStates(run.out).back();
    EXPECT_EQ(stats["location"], appDir + "/archive.sqlite");
    EXPECT_EQ(stats["frames"]["beacon"], 150);
    EXPECT_EQ(stats["frames"]["sensor"], 120);
    EXPECT_EQ(stats["stations"],
              json::array({{{"station", "DL0Live"}, {"frames", sent.size() - 1}}}));
}

// A flood of frames far faster than they can be recorded: the end, by --seconds or by SIGTERM in
// the middle of it, comes within a fraction of a second (the live client handles the stream in
// slices and looks for the end between its pieces), and every frame decoded up to then, and no
// other, is recorded whole.
TEST_F(CliTest, ListenEndsSoonInTheMiddleOfAFloodWithEveryDecodedFrameRecorded) {
    const std::string flood = folder.Write(
        "flood.kss",
        samples::MakePassCapture(testing::PassWithFrames(20000, 20000, 500, 500, 0, 1)));
    // The pass sent ten times over: a fast machine takes well over --seconds to send it all.
    const std::vector<std::string> floods(10, flood);
    const std::vector<Bytes> once = DataFrames(flood);
    std::vector<Bytes> sent;
    for (std::size_t copy = 0; copy < floods.size(); ++copy)
        sent.insert(sent.end(), once.begin(), once.end());
    using Clock = std::chrono::steady_clock;
    // Generous for a loaded machine; the benchmark bench/live_soak.sh reports the figure.
    constexpr double kLongestEnd = 1.5;

    for (const bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "by signal" : "by --seconds");
        testing::ReplayServer server = StartReplay(floods);
        ASSERT_FALSE(server.Port().empty());
        const std::string appDir = folder.Path() + (bySignal ? "/by-signal" : "/by-seconds");
        std::filesystem::create_directory(appDir);
        auto endAsked = Clock::now() + std::chrono::milliseconds(1500);
        testing::ListenProcess listen({"--app-dir", appDir}, server.Port(), bySignal ? "60" : "1.5",
                                      appDir + ".out");
        ASSERT_TRUE(listen.Started());
        const auto lines = [&] {
            const std::string out = listen.Out();
            return static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
        };
        if (bySignal) {
            for (int i = 0; i < 3000 && lines() < 500; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ASSERT_GE(lines(), 500u);
            endAsked = Clock::now();
            ::kill(listen.Pid(), SIGTERM);
        }
        EXPECT_EQ(listen.Wait(), 0);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - endAsked).count(), kLongestEnd);
        server.Close();
        // One line per decoded frame; the flood was not over at the end.
        const std::size_t decoded = lines();
        ASSERT_GT(decoded, 0u);
        EXPECT_LT(decoded, sent.size());

        // The capture file is whole (it ends where a frame ends, and every stamp frame has its
        // data frame) and holds, in order, the first frames the server sent.
        const std::string path = RecordedCapture(appDir);
        const std::string recorded = testing::TempFolder::Read(path);
        ASSERT_FALSE(recorded.empty());
        EXPECT_EQ(recorded.back(), '\xC0');
        const std::vector<Bytes> frames = DataFrames(path);
        const std::string stamp("\xC0\x09", 2);
        std::size_t stamps = 0;
        for (std::size_t at = recorded.find(stamp); at != std::string::npos;
             at = recorded.find(stamp, at + 1))
            ++stamps;
        EXPECT_EQ(stamps, frames.size());
        EXPECT_EQ(frames.size(), decoded);
        ASSERT_LE(frames.size(), sent.size());
        EXPECT_TRUE(std::equal(frames.begin(), frames.end(), sent.begin()));
    }
}

// A listen whose capture file cannot be written decodes every frame and exits 1, saying how many
// frames were not recorded and why.
TEST_F(CliTest, ListenIntoAFolderItCannotWriteFails) {
    const testing::MountedFolder station =
        testing::MountedFolder::ReadOnly(folder.Path() + "/station");
    ASSERT_TRUE(station.Ready()) << station.Problem();
    testing::ReplayServer server = StartReplay({capture});
    ASSERT_FALSE(server.Port().empty());
    const CliRun run =
        RunProgram("--app-dir '" + station.Path() +
                       "' listen --seconds 20 --host 127.0.0.1 --port " + server.Port(),
                   true);
    EXPECT_EQ(server.Close(), 0);
    EXPECT_EQ(run.status, 1);
    const std::string count = std::to_string(DataFrames(capture).size());
    EXPECT_NE(run.out.find("quorbel-cli: " + count + " of " + count +
                           " decoded frames were not recorded (" + station.Path() + "/"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("_QUORBEL-1U.kss could not be written: "), std::string::npos) << run.out;
}

TEST_F(CliTest, ListenWithoutAServerEndsWithAnErrorUnlessItReconnects) {
    // Port 1 on the loopback address: nobody listens there. With --reconnect: every state change
    // on standard error, and pauses of 1 s, then 2 s.
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

// A KISS server on the loopback address that takes every connection and closes it again after a
// moment, as a server that keeps dropping its clients; it stops with the object.
class DroppingServer {
  public:
    DroppingServer() {
        m_socket = testing::ListenOnLoopback(4, m_port);
        if (m_port == 0)
            return;
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd waiting{m_socket, POLLIN, 0};
                if (::poll(&waiting, 1, 50) <= 0)
                    continue;
                const int client = ::accept(m_socket, nullptr, nullptr);
                if (client < 0)
                    continue;
                ++m_accepted;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                ::close(client);
            }
        });
    }
    ~DroppingServer() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_socket);
    }
    int Port() const { return m_port; }
    int Accepted() const { return m_accepted; }

  private:
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::thread m_thread;
};

// Each connection that was made starts the pauses anew: a server that drops its clients again
// and again is tried again after 1 s each time, not after 2, 4, ... 30 s.
TEST_F(CliTest, ListenReconnectsAfterOneSecondToEveryConnectionThatWasMade) {
    DroppingServer server;
    ASSERT_NE(server.Port(), 0);
    const CliRun run =
        RunProgram("--app-dir '" + folder.Path() +
                       "' listen --seconds 3.6 --reconnect --host 127.0.0.1 --port " +
                       std::to_string(server.Port()),
                   true);
    EXPECT_EQ(run.status, 0);
    const std::string again = "quorbel-cli: connecting again in ";
    std::vector<std::string> pauses;
    for (std::size_t at = run.out.find(again); at != std::string::npos;
         at = run.out.find(again, at + 1))
        pauses.push_back(
            run.out.substr(at + again.size(), run.out.find('\n', at) - at - again.size()));
    for (const std::string& pause : pauses)
        EXPECT_EQ(pause, "1 s") << run.out;
    EXPECT_GE(server.Accepted(), 3) << run.out;
    EXPECT_GE(pauses.size(), 3u) << run.out;
    EXPECT_NE(run.out.find("Connected\n"), std::string::npos) << run.out;
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
    EXPECT_NE(missing.out.find("listen and share need quorbel-cli-live beside quorbel-cli"),
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
    EXPECT_EQ(DumpedState(installed.out)["telemetryCount"], 0);
}

TEST_F(CliTest, TheApplicationFolderIsChosenAndNamedInTheHelp) {
    // A writable program folder is a portable copy, and --help says so after the usage.
    CliRun help = RunCliIn({"--help"}, folder.Path());
    ASSERT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("open-kiss FILE..."), std::string::npos);
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
    EXPECT_EQ(DumpedState(run.out)["connectionText"], "[LOCALHOST:8100]");
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
    json state = DumpedState(run.out);
    EXPECT_EQ(state["imageFiles"], json::array({"ssdv_009.jpg"}));
    EXPECT_EQ(state["ssdvPackets"], json({{"9", packets.size() / 118}}));
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

    // decode-images decodes the packet files again; the pictures are in the image list when the
    // command is done.
    std::filesystem::remove(station + "/ssdv_009.jpg");
    const CliRun again =
        RunCliIn({"--app-dir", station, "decode-images", "dump-state"}, QUORBEL_BIN_DIR);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(DumpedState(again.out)["imageFiles"], json::array({"ssdv_009.jpg"}));
    EXPECT_EQ(testing::TempFolder::Read(station + "/ssdv_009.jpg"), decoded);
    EXPECT_TRUE(NoChildLeft());
}

// A file every command was asked to write that is not written whole makes the exit status 1, and
// standard error names the file and the system's reason.
TEST_F(CliTest, FilesThatCannotBeWrittenFailTheCommandWithTheFileAndTheReason) {
    // An application folder the tool cannot write: the capture's picture packets have no file.
    const testing::MountedFolder station =
        testing::MountedFolder::ReadOnly(folder.Path() + "/station");
    ASSERT_TRUE(station.Ready()) << station.Problem();
    CliRun run =
        RunCliIn({"--app-dir", station.Path(), "open-kiss", capture, "dump-state"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    const std::string reason = ::geteuid() == 0 ? "Read-only file system" : "Permission denied";
    EXPECT_NE(run.err.find("quorbel-cli: " + station.Path() +
                           "/ssdv_002.bin could not be written: " + reason + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(DumpedState(run.out)["telemetryCount"], 150);

    // A folder where the export should be.
    std::filesystem::create_directory(folder.File("pass_tlm.csv"));
    run = RunCliIn({"open-kiss", capture, "write-tlm-csv", "write-sensor-csv"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(folder.File("pass_tlm.csv") + " could not be written: Is a directory"),
              std::string::npos)
        << run.err;
    EXPECT_GT(std::filesystem::file_size(folder.File("pass_sensor.csv")), 0u);

    // The exports and the crop on a full disk: a small file system with room for the input only.
    const std::string pass = testing::TempFolder::Read(capture);
    const testing::MountedFolder disk =
        testing::MountedFolder::Small(folder.Path() + "/disk", pass.size());
    if (!disk.Ready())
        GTEST_SKIP() << "no full disk to write to: " << disk.Problem();
    const std::string full = disk.Path() + "/pass.kss";
    ASSERT_TRUE(samples::WriteBytes(
        full, std::span(reinterpret_cast<const std::uint8_t*>(pass.data()), pass.size())));
    for (const char* command : {"write-tlm-csv", "write-tlm-file"}) {
        run = RunCliIn({"open-kiss", full, command}, folder.Path());
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find(": No space left on device\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(disk.Path() + "/pass"), std::string::npos) << run.err;
    }
    // Nothing half written is left behind.
    EXPECT_EQ(FileNames(disk.Path()), std::vector<std::string>{"pass.kss"});
}

// The picture decoder's exit status is read: one that fails names its picture and makes the exit
// status 1, whether a read or decode-images started it.
TEST_F(CliTest, APictureDecoderThatFailsFailsTheCommand) {
    samples::PassOptions pass;
    pass.picturePackets = PicturePackets(9);
    const std::string picturePass =
        folder.Write("picture pass.kss", samples::MakePassCapture(pass));

    // A stand-in decoder beside the program that cannot write its picture.
    const testing::TempFolder programs;
    const std::string decoder = programs.Write(
        "ssdv", std::string("#!/bin/sh\necho \"Error writing '$5'\" >&2\nexit 255\n"));
    std::filesystem::permissions(decoder, std::filesystem::perms::owner_all);
    const std::string station = folder.Path() + "/station";
    const std::string failure = "quorbel-cli: " + station +
                                "/ssdv_009.jpg could not be written: the picture decoder ended "
                                "with exit status 255\n";
    CliRun run = RunCliIn({"--app-dir", station, "open-kiss", picturePass}, programs.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(failure), std::string::npos) << run.err;
    run = RunCliIn({"--app-dir", station, "decode-images", "dump-state"}, programs.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(failure), std::string::npos) << run.err;
    EXPECT_EQ(StateText(DumpedState(run.out), "statusLine"),
              station + "/ssdv_009.jpg could not be written");
    EXPECT_TRUE(NoChildLeft());

    // Status 1 is the decoder's "no valid packet, no image written": the satellite's packets
    // held no picture, which is their fault, not the run's.
    programs.Write("ssdv", std::string("#!/bin/sh\nexit 1\n"));
    run = RunCliIn({"--app-dir", station, "decode-images"}, programs.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    // Without any decoder a read still succeeds (its packet files wait for one), decode-images not.
    run = RunCliIn({"--app-dir", station, "open-kiss", picturePass}, folder.Path());
    if (run.err.find("ssdv decoder not found") != std::string::npos) {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(RunCliIn({"--app-dir", station, "decode-images"}, folder.Path()).status, 1);
    }
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
    std::vector<int> ids;
    for (int i = 0; i < 3; ++i) {
        const std::optional<int> id = platform.StartProgram("/bin/sh", {"-c", "exit 3"});
        ASSERT_TRUE(id);
        ids.push_back(*id);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The finished three are reaped at the next start; none of them lingers as a zombie.
    const std::optional<int> sleeping = platform.StartProgram("/bin/sh", {"-c", "sleep 0.2"});
    ASSERT_TRUE(sleeping);
    ids.push_back(*sleeping);
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), 0) << "only the sleeping child is left";
    // Every end is kept with its exit status, the reaped ones too.
    std::vector<std::pair<int, int>> ends;
    for (const ProgramEnd& end : platform.WaitForStartedPrograms())
        ends.emplace_back(end.id, end.exitStatus);
    std::vector<std::pair<int, int>> expected{{ids[0], 3}, {ids[1], 3}, {ids[2], 3}, {ids[3], 0}};
    std::sort(ends.begin(), ends.end());  // the children end in any order
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ends, expected);
    EXPECT_TRUE(platform.WaitForStartedPrograms().empty());
    EXPECT_TRUE(NoChildLeft());
    EXPECT_FALSE(platform.StartProgram("/no/such/program", {}));
    EXPECT_TRUE(NoChildLeft());
}

TEST(CliProgramTest, TheCommittedSampleDecodes) {
    const std::string sample = std::string(QUORBEL_SOURCE_DIR) + "/samples/pass.kss";
    const testing::TempFolder station;
    const CliRun run = RunProgram("--app-dir " + station.Path() + " --locale C open-kiss " +
                                  sample + " show-record 3 dump-state");
    ASSERT_EQ(run.status, 0);
    json state = DumpedState(run.out);
    EXPECT_EQ(state["telemetryCount"], 60);
    EXPECT_EQ(state["recordCounter"], "#3 / 60");
    EXPECT_EQ(RunProgram("no-such-command").status, 2);
}

}  // namespace
}  // namespace quorbel
