// The live TCP client: its box, timer and state lamp, and byte streams cut anywhere decoded and
// recorded into the day's capture file, which reads back as the same records.
#include "shell/commands/live_commands.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/concat.hpp"
#include "support/fake_platform.hpp"
#include "support/mounted_folder.hpp"
#include "support/recorded_disk_sync.hpp"
#include "support/ssdv_packets.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono;

constexpr std::int64_t kStart = 1673786096789;  // 2023-01-15 12:34:56.789 UTC

struct LiveClientSession {
    testing::FakePlatform platform;
    std::unique_ptr<AppState> app = std::make_unique<AppState>(platform);

    explicit LiveClientSession(const std::string& appDir, std::int64_t start = kStart) {
        platform.now = system_clock::time_point(milliseconds(start));
        platform.tick = milliseconds(250);
        app->settings.appDir = appDir;
        StartUp(*app);
    }
    LiveArrival Feed(std::span<const std::uint8_t> bytes) { return ReceiveLiveBytes(*app, bytes); }
};

// The status line after a frame of `bytes` bytes was recorded in `path`.
std::string Added(std::size_t bytes, const std::string& path) {
    return std::to_string(bytes) + " bytes has been added to " + path;
}

const Bytes kBeacon = samples::KissDataFrame(samples::MakeBeacon(22, {}));

using ::quorbel::testing::Concat;

// A stream as a modem sends it: noise, beacons and sensor frames (one with bytes that need
// escaping), a message, an unknown kind, empty frames and a short frame that is not kept.
Bytes MakeStream() {
    samples::FieldValues values{};
    values[0] = -192;  // 0xFF40: a byte 0xC0 in the frame, escaped in the stream
    values[1] = 0xDBDB;
    Bytes unknown = samples::MakeFrame(22, 200, Bytes(20, 7));
    return Concat({{0x01, 0x02, 0xDB},
                   samples::KissDataFrame(samples::MakeBeacon(22, values)),
                   {0xC0, 0xC0},
                   samples::KissDataFrame(samples::MakeSensorFrame(22, values, 123456789)),
                   samples::KissDataFrame(Bytes(100, 0x11)),
                   samples::KissDataFrame(samples::MakeTextMessage(22, "HELLO")),
                   samples::KissDataFrame(unknown),
                   samples::KissDataFrame(samples::MakeBeacon(22, {}))});
}

// What a stream leaves: the records (values and receive time), the status line, the message log
// and the capture file.
struct Outcome {
    std::vector<std::pair<std::array<double, kFieldCount>, std::string>> beacons, sensors;
    std::string statusLine, log, capture;
};

Outcome OutcomeOf(const AppState& app, const std::string& capturePath) {
    Outcome outcome;
    for (int n = 1; n <= app.telemetry.Count(); ++n)
        outcome.beacons.emplace_back(app.telemetry.Record(n).values,
                                     app.telemetry.Record(n).rxTime);
    for (int n = 1; n <= app.sensor.Count(); ++n)
        outcome.sensors.emplace_back(app.sensor.Record(n).values, app.sensor.Record(n).rxTime);
    outcome.statusLine = app.ui.statusLine;
    outcome.log = app.ui.messageLog.Text();
    outcome.capture = testing::TempFolder::Read(capturePath);
    return outcome;
}

TEST(LiveClientTest, TheBoxTheTimerAndTheStateLamp) {
    testing::TempFolder folder;
    folder.Write("conf.ini", std::string("TCP_SERVER=localhost\r\nTCP_PORT=8001\r\n"));
    LiveClientSession live(folder.Path());
    AppState& app = *live.app;
    EXPECT_EQ(app.ui.connectionText, "[LOCALHOST:8001]");  // until the first tick
    EXPECT_TRUE(app.ui.connectionTimerRunning);
    EXPECT_EQ(LiveModeOf(app.ui), LiveMode::Idle);
    PollConnectionState(app);
    EXPECT_EQ(app.ui.connectionText, "Closed");

    // The lamp says how the connection stands: grey while closed, green while connected, red
    // after an error or a reset, yellow on the way between; each state has a text of its own.
    constexpr Rgb kGrey{192, 192, 192}, kGreen{0, 255, 0}, kRed{255, 0, 0}, kYellow{255, 255, 0};
    const std::map<int, std::string> named = {{0, "Closed"},
                                              {6, "Connecting"},
                                              {7, "Connected"},
                                              {9, "Error"},
                                              {10, "Connection reset by the peer"}};
    std::set<std::string> texts;
    for (int state = 0; state <= 10; ++state) {
        live.platform.socketState = state;
        const std::string text = ShowConnectionState(app);
        EXPECT_FALSE(text.empty()) << state;
        EXPECT_EQ(text, named.contains(state) ? named.at(state) : text) << state;
        texts.insert(text);
        const Rgb expected = state == 0                  ? kGrey
                             : state == 7                ? kGreen
                             : state == 9 || state == 10 ? kRed
                                                         : kYellow;
        EXPECT_EQ(app.ui.connectionLamp, expected) << state;
    }
    EXPECT_EQ(texts.size(), 11u);
    // A state the socket should never report gives no text and leaves the lamp as it was.
    for (int unknown : {11, -1}) {
        live.platform.socketState = unknown;
        EXPECT_EQ(ShowConnectionState(app), "") << unknown;
        EXPECT_EQ(app.ui.connectionLamp, kRed) << unknown;
    }
    // The platform's reason for an error stands beside the state.
    live.platform.socketState = 9;
    live.platform.socketProblem = "host not found: NOHOST.INVALID";
    EXPECT_EQ(ShowConnectionState(app), "Error: host not found: NOHOST.INVALID");
    live.platform.socketProblem.clear();

    app.ui.readerLog = "old log";
    app.ui.tcpClient = true;
    SetTcpClient(app);
    EXPECT_EQ(live.platform.connections, (std::vector<std::string>{"LOCALHOST:8001"}));
    EXPECT_EQ(app.ui.readerLog, "");
    EXPECT_EQ(LiveModeOf(app.ui), LiveMode::On);
    PollConnectionState(app);
    EXPECT_EQ(app.ui.connectionText, "Connecting");

    app.ui.tcpClient = false;
    SetTcpClient(app);
    EXPECT_EQ(app.ui.connectionText, "Closed");
    EXPECT_EQ(app.ui.connectionLamp, (Rgb{192, 192, 192}));
    EXPECT_FALSE(app.ui.connectionTimerRunning);
    EXPECT_EQ(LiveModeOf(app.ui), LiveMode::Off);
}

// Settings that cannot work are named on the status line at start-up and again when the box is
// set, and nothing is tried; a later good line, or a host and port that stand, put them right.
TEST(LiveClientTest, ConfIniThatCannotWorkIsNamedAndNotTried) {
    const struct {
        std::string confIni;
        std::string problem;  // empty: connects
    } cases[] = {
        {"TCP_SERVER=h\r\nTCP_PORT=0\r\n", "conf.ini: TCP_PORT=0 is not a port (1 to 65535)"},
        {"TCP_SERVER=h\r\nTCP_PORT= Text \r\n",
         "conf.ini: TCP_PORT=Text is not a port (1 to 65535)"},  // the value as written
        {"TCP_SERVER=h\r\nTCP_PORT=\r\n", "conf.ini: TCP_PORT= is not a port (1 to 65535)"},
        {"TCP_PORT=x\r\nTCP_PORT=8001\r\nTCP_SERVER=h\r\n", ""},
    };
    for (const auto& c : cases) {
        testing::TempFolder folder;
        folder.Write("conf.ini", c.confIni);
        LiveClientSession live(folder.Path());
        AppState& app = *live.app;
        EXPECT_EQ(app.ui.statusLine, c.problem) << c.confIni;
        app.ui.statusLine.clear();
        app.ui.tcpClient = true;
        SetTcpClient(app);
        EXPECT_EQ(app.ui.statusLine, c.problem) << c.confIni;
        EXPECT_EQ(live.platform.connections.size(), c.problem.empty() ? 1u : 0u) << c.confIni;
    }

    // A conf.ini that is there and cannot be read: its path and the reason.
    testing::TempFolder folder;
    std::filesystem::create_directory(folder.File("conf.ini"));
    LiveClientSession live(folder.Path());
    const std::string problem =
        "cannot read conf.ini: " + folder.File("conf.ini") + " is a folder, not a file";
    EXPECT_EQ(live.app->ui.statusLine, problem);
    live.app->ui.tcpClient = true;
    SetTcpClient(*live.app);
    EXPECT_EQ(live.app->ui.statusLine, problem);
    EXPECT_TRUE(live.platform.connections.empty());
    // With a host and port from elsewhere (listen's --host and --port) it is no obstacle.
    live.app->settings.tcpHost = "127.0.0.1";
    live.app->settings.tcpPort = 8001;
    ConnectLiveClient(*live.app);
    EXPECT_EQ(live.platform.connections, (std::vector<std::string>{"127.0.0.1:8001"}));
}

TEST(LiveClientTest, AStreamCutAnywhereGivesTheSameRecordsAndCaptureFile) {
    const Bytes stream = MakeStream();
    testing::TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    LiveClientSession reference(folder.Path());
    reference.Feed(stream);
    reference.app->live.capture.Close();
    const Outcome expected = OutcomeOf(*reference.app, path);
    ASSERT_EQ(expected.beacons.size(), 2u);
    ASSERT_EQ(expected.sensors.size(), 1u);
    EXPECT_EQ(expected.beacons[0].first[0], -192);
    EXPECT_EQ(expected.beacons[0].first[1], 0xDBDB);
    EXPECT_EQ(expected.beacons[0].second, "2023-01-15 12:34:56.789");
    EXPECT_EQ(expected.sensors[0].second, "2023-01-15 12:34:57.039");
    EXPECT_EQ(expected.log, "2023-01-15 12:34:57.289 | HELLO\r\n");
    // Five frames of more than 100 bytes recorded, each behind a 30-byte stamp frame; the
    // unknown kind is recorded too.
    EXPECT_EQ(expected.statusLine, Added(kBeacon.size(), path));
    EXPECT_GT(expected.capture.size(), 5 * (30 + 223));
    EXPECT_EQ(std::count(expected.capture.begin(), expected.capture.end(), '\x09'), 5);
    EXPECT_EQ(expected.capture.substr(expected.capture.size() - kBeacon.size()),
              std::string(kBeacon.begin(), kBeacon.end()));

    // Every cut into two arrivals, and random cuts into many. One session serves them all,
    // started afresh each time: empty stores and log, a new connection, the same clock.
    std::mt19937 random(7);
    LiveClientSession live(folder.Path());
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        std::filesystem::remove(path);
        ClearStores(*live.app);
        live.app->ui.messageLog.Clear();
        live.app->ui.statusLine.clear();
        ConnectLiveClient(*live.app);
        live.platform.now = system_clock::time_point(milliseconds(kStart));
        const std::span<const std::uint8_t> bytes(stream);
        if (cut % 97 == 0) {
            for (std::size_t at = 0; at < bytes.size();) {
                const std::size_t n = std::min<std::size_t>(1 + random() % 40, bytes.size() - at);
                live.Feed(bytes.subspan(at, n));
                at += n;
            }
        } else {
            live.Feed(bytes.first(cut));
            live.Feed(bytes.subspan(cut));
        }
        live.app->live.capture.Close();
        const Outcome outcome = OutcomeOf(*live.app, path);
        ASSERT_EQ(outcome.beacons, expected.beacons) << "cut at " << cut;
        ASSERT_EQ(outcome.sensors, expected.sensors) << "cut at " << cut;
        ASSERT_EQ(outcome.statusLine, expected.statusLine) << "cut at " << cut;
        ASSERT_EQ(outcome.log, expected.log) << "cut at " << cut;
        ASSERT_EQ(outcome.capture, expected.capture) << "cut at " << cut;
    }
}

// Each frame goes to the capture of its UTC day and satellite; before the first beacon names the
// satellite, a frame goes to the capture of the satellite that sent it, not to one without a name.
TEST(LiveClientTest, ANewFileWithEachUtcDayAndEachSatelliteName) {
    testing::TempFolder folder;
    // 23:59:59.700 on 2023-01-15, each frame 200 ms after the last: the third is of the next day.
    LiveClientSession live(folder.Path(), 1673827199700);
    live.platform.tick = milliseconds(200);
    const Bytes message = samples::KissDataFrame(samples::MakeTextMessage(37, "HELLO"));
    live.Feed(message);
    const std::string messages = folder.File("2023-01-15_QUORBEL-1V.kss");
    EXPECT_EQ(live.app->ui.statusLine, Added(message.size(), messages));
    EXPECT_EQ(std::filesystem::file_size(messages), 30 + message.size());
    EXPECT_FALSE(std::filesystem::exists(folder.File("2023-01-15_.kss")));
    live.Feed(kBeacon);
    live.Feed(kBeacon);
    live.Feed(samples::KissDataFrame(samples::MakeBeacon(37, {})));
    const std::size_t record = 30 + kBeacon.size();
    EXPECT_EQ(std::filesystem::file_size(folder.File("2023-01-15_QUORBEL-1U.kss")), record);
    EXPECT_EQ(std::filesystem::file_size(folder.File("2023-01-16_QUORBEL-1U.kss")), record);
    EXPECT_EQ(std::filesystem::file_size(folder.File("2023-01-16_QUORBEL-1V.kss")), record);
    EXPECT_EQ(live.app->telemetry.Record(3).rxTime, "2023-01-16 00:00:00.300");
}

TEST(LiveClientTest, AnUnwritableCaptureIsReportedAndDecodingGoesOn) {
    testing::TempFolder folder;
    LiveClientSession live(folder.Path());
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    std::filesystem::create_directory(path);  // a folder where the file should be
    // Two frames in one arrival: both decoded, neither recorded, each named with the reason.
    const LiveArrival lost = live.Feed(Concat({kBeacon, kBeacon}));
    EXPECT_EQ(live.app->ui.statusLine, path + " could not be written");
    EXPECT_EQ(live.app->telemetry.Count(), 2);
    EXPECT_EQ(lost.frames.size(), 2u);
    ASSERT_EQ(lost.outcome.problems.size(), 2u);
    EXPECT_EQ(ExplainProblem(lost.outcome.problems[1]),
              path + " could not be written: Is a directory");
    EXPECT_TRUE(lost.outcome.Failed());
    std::filesystem::remove(path);
    EXPECT_FALSE(live.Feed(kBeacon).outcome.Failed());  // the next frame tries again
    EXPECT_EQ(live.app->ui.statusLine, Added(kBeacon.size(), path));
    EXPECT_EQ(std::filesystem::file_size(path), 30 + kBeacon.size());

    // A megabyte without FEND is discarded, counted in the log, and framing goes on after it.
    // Frames that arrive whole add nothing to the log.
    const std::string log = live.app->ui.readerLog;
    EXPECT_EQ(log.find("discarded"), std::string::npos) << log;
    Bytes flood(1 << 20, 0x42);
    live.Feed(flood);
    EXPECT_EQ(live.app->ui.readerLog,
              log + "live frames discarded (no end within 65536 bytes): 1\r\n");
    live.Feed(kBeacon);
    live.Feed(kBeacon);
    EXPECT_EQ(live.app->ui.readerLog,
              log + "live frames discarded (no end within 65536 bytes): 1\r\n");
    EXPECT_EQ(live.app->telemetry.Count(), 5);  // both frames after the flood are decoded
}

// The frames of one arrival reach the disk together in one flush, before the next bytes are
// handled: a burst costs one flush, and a power cut loses no frame that was reported recorded.
// An arrival that crosses into another file flushes each file once; a flush the disk fails takes
// its frames back, reports them as not recorded, and the next arrival records again.
TEST(LiveClientTest, TheFramesOfAnArrivalReachTheDiskInOneFlush) {
    testing::TempFolder folder;
    // 23:59:59.250 on 2023-01-15: the fourth frame, 750 ms later, is of the next day.
    LiveClientSession live(folder.Path(), 1673827199250);
    const std::string today = folder.File("2023-01-15_QUORBEL-1U.kss");
    const std::string tomorrow = folder.File("2023-01-16_QUORBEL-1U.kss");
    testing::RecordedDiskSync sync;
    const std::size_t record = 30 + kBeacon.size();
    live.Feed(Concat({kBeacon, kBeacon, kBeacon, kBeacon}));
    live.Feed(Concat({kBeacon, kBeacon}));
    std::vector<std::pair<std::string, std::size_t>> flushed;
    for (const auto& flush : sync.flushes) {
        if (flush.kind == "data")
            flushed.emplace_back(flush.path, flush.contents.size());
    }
    EXPECT_EQ(flushed, (std::vector<std::pair<std::string, std::size_t>>{
                           {today, 3 * record}, {tomorrow, 1 * record}, {tomorrow, 3 * record}}));

    sync.failures = 1;
    const LiveArrival failed = live.Feed(Concat({kBeacon, kBeacon}));
    EXPECT_EQ(failed.outcome.framesNotRecorded, 2);
    EXPECT_TRUE(failed.outcome.Failed());
    EXPECT_EQ(live.app->ui.statusLine, tomorrow + " could not be written");
    EXPECT_EQ(std::filesystem::file_size(tomorrow), 3 * record);
    const LiveArrival next = live.Feed(kBeacon);
    EXPECT_EQ(next.outcome.framesNotRecorded, 0);
    EXPECT_EQ(std::filesystem::file_size(tomorrow), 4 * record);
    EXPECT_EQ(live.app->telemetry.Count(), 9);  // every frame decoded all the same
}

// A full disk: a frame that does not fit is not recorded at all (no half frame that a later read
// would take for a record), nor is an SSDV packet, and both are reported; decoding goes on, and
// once space is back the next frames are recorded.
TEST(LiveClientTest, AFullDiskLeavesNoHalfFrameAndRecordingResumesWhenSpaceIsBack) {
    testing::TempFolder folder;
    const auto disk = testing::MountedFolder::Small(folder.File("disk"), 64 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.Problem();
    // The disk filled to its last page: some frames fit, the next one fits only in part.
    const std::string filler = disk.Path() + "/filler";
    {
        std::ofstream out(filler, std::ios::binary);
        const std::string page(4096, 'f');
        while (out.write(page.data(), page.size()) && out.flush()) {
        }
    }
    std::filesystem::resize_file(filler, std::filesystem::file_size(filler) - 4096);

    LiveClientSession live(disk.Path());
    const std::string path = disk.Path() + "/2023-01-15_QUORBEL-1U.kss";
    const std::string packets = disk.Path() + "/ssdv_007.bin";
    const std::size_t record = 30 + kBeacon.size();
    const std::size_t fitting = 4096 / record;
    ASSERT_NE(4096 % record, 0u);  // the next frame is cut by the end of the disk
    Bytes burst;
    for (std::size_t n = 0; n < fitting + 3; ++n)
        burst.insert(burst.end(), kBeacon.begin(), kBeacon.end());
    const Bytes packet = testing::MakeSsdvPacket(7, 0);
    const Bytes ssdvFrame = samples::KissDataFrame(samples::MakeSsdvFrame(22, packet));
    burst.insert(burst.end(), ssdvFrame.begin(), ssdvFrame.end());

    const LiveArrival full = live.Feed(burst);
    EXPECT_EQ(full.frames.size(), fitting + 4);
    EXPECT_EQ(full.outcome.framesNotRecorded, 4);
    EXPECT_EQ(live.app->ui.statusLine, Added(kBeacon.size(), path) + "; " + path +
                                           " could not be written; " + packets +
                                           " could not be written");
    EXPECT_EQ(ExplainProblem(full.outcome.problems.at(0)),
              path + " could not be written: No space left on device");
    EXPECT_EQ(std::filesystem::file_size(path), fitting * record);
    EXPECT_EQ(live.app->telemetry.Count(), static_cast<int>(fitting + 3));

    std::filesystem::remove(filler);
    const LiveArrival resumed = live.Feed(Concat({kBeacon, ssdvFrame}));
    EXPECT_FALSE(resumed.outcome.Failed());
    EXPECT_EQ(std::filesystem::file_size(path), (fitting + 1) * record + 30 + ssdvFrame.size());
    EXPECT_EQ(testing::TempFolder::Read(packets), std::string(packet.begin(), packet.end()));
}

// Operators rotate captures by hand or by cron: a capture deleted while recording is noticed at
// the next frame, which starts a new file at the path and says so once.
TEST(LiveClientTest, ACaptureMovedOrDeletedWhileRecordingIsStartedAnew) {
    testing::TempFolder folder;
    LiveClientSession live(folder.Path());
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    const std::size_t record = 30 + kBeacon.size();
    live.Feed(kBeacon);
    std::filesystem::remove(path);
    const LiveArrival afterDelete = live.Feed(Concat({kBeacon, kBeacon}));
    EXPECT_EQ(afterDelete.outcome.restartedCaptures, std::vector<std::string>{path});
    EXPECT_FALSE(afterDelete.outcome.Failed());
    EXPECT_EQ(live.app->ui.statusLine, Added(kBeacon.size(), path) + "; " + path +
                                           " was moved or deleted; a new capture file was started");
    EXPECT_EQ(std::filesystem::file_size(path), 2 * record);
    live.Feed(kBeacon);
    EXPECT_EQ(live.app->ui.statusLine, Added(kBeacon.size(), path));
    EXPECT_EQ(std::filesystem::file_size(path), 3 * record);
}

// A connection that drops in the middle of a frame leaves half a frame behind: a new connection,
// by the box or by a retry, starts afresh at the next server's first FEND, so the half frame is
// neither decoded nor recorded nor joined to the next frame.
TEST(LiveClientTest, ANewConnectionForgetsTheHalfFrameOfTheLastOne) {
    testing::TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    const Bytes half(kBeacon.begin(),
                     kBeacon.begin() + static_cast<std::ptrdiff_t>(kBeacon.size() / 2));
    ASSERT_GT(half.size(), 110u);  // long enough to be recorded if it were taken for a frame
    for (const bool byTheBox : {true, false}) {
        std::filesystem::remove(path);
        LiveClientSession live(folder.Path());
        AppState& app = *live.app;
        app.ui.tcpClient = true;
        SetTcpClient(app);
        live.Feed(half);
        if (byTheBox) {
            app.ui.tcpClient = false;
            SetTcpClient(app);
            app.ui.tcpClient = true;
            SetTcpClient(app);
        } else {
            ConnectLiveClient(app);
        }
        // The next server starts in the middle of its stream: the bytes before its first FEND
        // are no frame either.
        live.Feed(Concat({{0x01, 0x02}, kBeacon}));
        app.live.capture.Close();
        EXPECT_EQ(app.telemetry.Count(), 1) << byTheBox;
        EXPECT_EQ(testing::TempFolder::Read(path).size(), 30 + kBeacon.size()) << byTheBox;
        EXPECT_EQ(app.ui.statusLine, Added(kBeacon.size(), path));
    }
}

}  // namespace
}  // namespace quorbel
