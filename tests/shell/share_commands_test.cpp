// Sharing in the running program: the box and its SHARE line in conf.ini, live frames put in the
// outbox file before any request, and the frames of capture files read for share.
#include "shell/commands/share_commands.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "sqlite_outbox.hpp"
#include "support/concat.hpp"
#include "support/fake_platform.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono;

constexpr std::int64_t kStart = 1673786096789;  // 2023-01-15 12:34:56.789 UTC

// Holds every request; none is answered, so what the outbox holds stays waiting.
class HeldPoster : public HttpPoster {
  public:
    void Post(const std::string& url, const std::string& body,
              std::function<void(const HttpReply&)> done) override {
        bodies.push_back(url + " " + body);
        dones.push_back(std::move(done));
    }
    std::vector<std::string> bodies;
    std::vector<std::function<void(const HttpReply&)>> dones;
};

// An outbox whose puts fail while `failing` is set, as a full disk makes them, and work again
// once it is cleared.
class FailingOutbox : public Outbox {
  public:
    explicit FailingOutbox(const std::atomic<bool>& failing) : m_failing(failing) {}
    std::string Describe() const override { return "outbox.sqlite"; }
    int Put(std::span<const OutboxPut> frames, std::int64_t) override {
        if (m_failing)
            throw OutboxError("outbox.sqlite: database or disk is full");
        return static_cast<int>(frames.size());
    }
    std::vector<OutboxFrame> Waiting(int, std::span<const std::int64_t>) override { return {}; }
    void MarkSent(std::int64_t) override {}
    void MarkFailed(std::int64_t, const std::string&) override {}
    void MarkRejected(std::int64_t, const std::string&) override {}
    std::vector<std::int64_t> DropExpired(std::int64_t, std::int64_t, std::int64_t) override {
        return {};
    }
    OutboxCounts Counts() override { return {}; }

  private:
    const std::atomic<bool>& m_failing;
};

class ShareCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.now = system_clock::time_point(milliseconds(kStart));
        platform.tick = milliseconds(250);
        app.settings.appDir = folder.Path();
        folder.Write("conf.ini", std::string("# the station\r\nTCP_SERVER = localhost\r\n"
                                             "NORAD_ID = 99999\r\nCALLSIGN = DL0ABC\r\n"
                                             "latitude = 52.52\r\nLONGITUDE=-13.405\r\n"
                                             "share = off\r\n"));
        StartUp(app);
    }

    ShareServices Services() {
        return {
            [this](const std::string& path) -> std::unique_ptr<Outbox> {
                if (failingOutbox)
                    return std::make_unique<FailingOutbox>(failing);
                return OpenSqliteOutbox(path);
            },
            &poster,
            [this] { return duration_cast<milliseconds>(platform.now.time_since_epoch()).count(); },
            {}};
    }

    std::string Conf() const { return *ReadFile(folder.File("conf.ini")); }

    static std::optional<std::string> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testing::TempFolder folder;
    testing::FakePlatform platform;
    AppState app{platform};
    HeldPoster poster;
    bool failingOutbox = false;
    std::atomic<bool> failing = false;
};

// The box writes SHARE into conf.ini and keeps every other line; settings that cannot work
// clear it again and name the key.
TEST_F(ShareCommandsTest, TheBoxSharesAndWritesItsStateIntoConfIni) {
    app.ui.shareFrames = true;
    SetShareBox(app, Services());
    EXPECT_TRUE(app.ui.shareFrames);
    ASSERT_NE(app.sharing.sender, nullptr);
    EXPECT_EQ(Conf(),
              "# the station\r\nTCP_SERVER = localhost\r\nNORAD_ID = 99999\r\n"
              "CALLSIGN = DL0ABC\r\nlatitude = 52.52\r\nLONGITUDE=-13.405\r\nSHARE=on\r\n");
    EXPECT_EQ(app.ui.shareText, "Shared: 0 sent, 0 waiting, 0 rejected");
    EXPECT_TRUE(std::filesystem::exists(folder.File(kOutboxName)));

    app.ui.shareFrames = false;
    SetShareBox(app, Services());
    EXPECT_EQ(app.sharing.sender, nullptr);
    EXPECT_EQ(app.ui.shareText, "");
    EXPECT_NE(Conf().find("SHARE=off\r\n"), std::string::npos);

    // Without a NORAD ID nothing is shared, the box is cleared and the key named.
    std::filesystem::remove(folder.File("conf.ini"));
    app.settings.share.noradId.clear();
    app.ui.shareFrames = true;
    SetShareBox(app, Services());
    EXPECT_FALSE(app.ui.shareFrames);
    EXPECT_EQ(app.sharing.outbox, nullptr);
    EXPECT_NE(app.ui.statusLine.find("NORAD_ID"), std::string::npos) << app.ui.statusLine;
    EXPECT_EQ(Conf(), "SHARE=off\r\n");  // a missing conf.ini is made with the line
}

// Every recorded live frame reaches the outbox with the clock reading of its stamp; short frames
// are neither recorded nor shared; no request is made for a frame before it is in the outbox.
TEST_F(ShareCommandsTest, LiveFramesAreInTheOutboxBeforeAnyRequest) {
    ASSERT_EQ(StartSharing(app, Services()), std::nullopt);
    samples::FieldValues values{};
    Bytes stream;
    for (int i = 0; i < 3; ++i) {
        values[0] = i;
        const Bytes frame = samples::KissDataFrame(samples::MakeBeacon(22, values));
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    const Bytes shortFrame = samples::KissDataFrame(Bytes(50, 0x41));
    stream.insert(stream.end(), shortFrame.begin(), shortFrame.end());
    const LiveArrival arrival = ReceiveLiveBytes(app, stream);
    ASSERT_EQ(arrival.frames.size(), 3u);
    EXPECT_FALSE(arrival.outcome.Failed());
    EXPECT_TRUE(poster.bodies.empty());

    // The writer puts them within half a second, without being asked.
    const auto outbox = OpenSqliteOutbox(folder.File(kOutboxName));
    std::vector<OutboxFrame> waiting;
    for (int turn = 0; turn < 500 && waiting.size() < 3; ++turn) {
        std::this_thread::sleep_for(milliseconds(10));
        waiting = outbox->Waiting(10, {});
    }
    ASSERT_EQ(waiting.size(), 3u);
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        values[0] = static_cast<double>(i);
        EXPECT_EQ(waiting[i].bytes, samples::MakeBeacon(22, values));
        // Each frame is the clock's next reading, as its stamp in the capture file.
        EXPECT_EQ(waiting[i].rxTimeMs, kStart + static_cast<std::int64_t>(i) * 250);
    }
    // The sender's turn starts the first request; the body carries the same time.
    PumpSharing(app);
    ASSERT_FALSE(poster.bodies.empty());
    EXPECT_NE(poster.bodies[0].find("timestamp=2023-01-15T12%3A34%3A56.789Z"), std::string::npos)
        << poster.bodies[0];
    EXPECT_EQ(app.ui.shareText, "Shared: 0 sent, 3 waiting, 0 rejected");

    // The end of sharing puts what is still queued.
    values[0] = 10;
    ReceiveLiveBytes(app, samples::KissDataFrame(samples::MakeBeacon(22, values)));
    StopSharing(app);
    EXPECT_EQ(outbox->Waiting(10, {}).size(), 4u);
}

// An outbox that cannot take frames is one problem in the status line, said once for each outage;
// the frames are still recorded in the capture file.
TEST_F(ShareCommandsTest, AnOutboxThatFailsIsSaidOnceAnOutageAndRecordingGoesOn) {
    failingOutbox = true;
    ASSERT_EQ(StartSharing(app, Services()), std::nullopt);
    const Bytes beacon = samples::KissDataFrame(samples::MakeBeacon(22, {}));
    // Told by the arrival that saw the failed put, or by the sender's turn after it.
    const auto arrive = [&] {
        const LiveArrival arrival = ReceiveLiveBytes(app, beacon);
        EXPECT_TRUE(arrival.outcome.appended.has_value());  // recorded all the same
        app.sharing.outbox->Flush();
        return static_cast<int>(
                   arrival.outcome.ProblemsOf(CommandProblem::Kind::ShareFailed).size()) +
               static_cast<int>(PumpSharing(app).size());
    };
    failing = true;
    EXPECT_EQ(arrive(), 1);
    EXPECT_NE(app.ui.statusLine.find("frames not shared: outbox.sqlite: database or disk is full"),
              std::string::npos)
        << app.ui.statusLine;
    EXPECT_NE(app.ui.readerLog.find("share: frames not shared: outbox.sqlite"), std::string::npos);
    EXPECT_TRUE(app.sharing.putFailed);
    EXPECT_EQ(arrive(), 0);

    failing = false;  // the disk has room again, and later fills up a second time
    EXPECT_EQ(arrive(), 0);
    failing = true;
    EXPECT_EQ(arrive() + arrive(), 1);
}

// share reads capture frames with their stamps' times; an export, a folder and frames before any
// stamp are refused or counted.
TEST_F(ShareCommandsTest, CaptureFilesGiveTheirFramesWithTheirStampTimes) {
    const Bytes beacon = samples::MakeBeacon(22, {});
    const Bytes sensor = samples::MakeSensorFrame(22, {}, 1700000000000000ULL);
    const std::string kss = folder.Write(
        "pass.kss",
        testing::Concat({samples::KissDataFrame(beacon),  // before any stamp: no time
                         samples::KissTextStamp(samples::UtcStampText(kStart)),
                         samples::KissDataFrame(beacon), samples::KissNumericStamp(kStart + 1500),
                         samples::KissDataFrame(sensor)}));
    const std::string csv = folder.Write("export.csv", std::string("a;b\r\n"));
    std::filesystem::create_directory(folder.File("sub"));

    const std::string text = folder.Write("notes.txt", std::string("a pass"));
    const FramesToShare read = ReadFramesToShare({kss, csv, folder.File("sub"), text});
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_EQ(read.frames[0], beacon);
    EXPECT_EQ(read.frames[1], sensor);
    // A numeric stamp gives its time to the second, as every reader of captures takes it.
    EXPECT_EQ(read.rxTimesMs, (std::vector<std::int64_t>{kStart, 1673786098000}));
    EXPECT_EQ(read.withoutTime, 1);
    const auto notRead = read.outcome.ProblemsOf(CommandProblem::Kind::NotRead);
    ASSERT_EQ(notRead.size(), 3u);
    EXPECT_EQ(notRead[0].path, csv);
    EXPECT_NE(notRead[0].reason.find("SatNOGS export is not shared"), std::string::npos);
    EXPECT_EQ(notRead[1].path, folder.File("sub"));
    EXPECT_EQ(notRead[2].reason, "not a capture file (.kss)");
}

}  // namespace
}  // namespace quorbel
