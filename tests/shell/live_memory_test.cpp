// A station that listens for weeks: text, digipeater and SSDV frames without end leave the
// message log, the packet listing and the packet table bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/bounded_log.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"
#include "support/ssdv_packets.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(LiveMemory, EndlessMessagesAndPacketsKeepTheLogsAndTheTableBounded) {
    // The folder lies in memory where the system has one: the test is about the program's own
    // memory, and a flush to a disk for each of 300,000 frames would only make it slow.
    std::error_code error;
    testing::TempFolder folder(std::filesystem::is_directory("/dev/shm", error)
                                   ? std::filesystem::path("/dev/shm")
                                   : std::filesystem::temp_directory_path());
    testing::FakePlatform platform;
    platform.now = std::chrono::system_clock::time_point(std::chrono::hours(24 * 19000));
    platform.tick = std::chrono::milliseconds(10);
    AppState app(platform);
    app.settings.appDir = folder.Path();
    StartUp(app);

    // 300,000 frames: a third text messages, a third digipeated ones, a third SSDV packets of
    // all 256 images (twenty packets each, again and again), fed in pieces of about a hundred
    // frames as a busy modem delivers them.
    constexpr int kFrames = 300000;
    const Bytes text = samples::KissDataFrame(samples::MakeTextMessage(22, "BATTERY OK 4.1V"));
    const Bytes digi = samples::KissDataFrame(
        samples::MakeDigipeatedMessage(22, "APRS", "DL1ABC", "73 from the field day"));
    Bytes arrival;
    std::size_t largestLog = 0;
    std::size_t largestListing = 0;
    for (int n = 0; n < kFrames; ++n) {
        const Bytes frame = n % 3 == 0   ? text
                            : n % 3 == 1 ? digi
                                         : samples::KissDataFrame(samples::MakeSsdvFrame(
                                               22, testing::MakeSsdvPacket(n % 256, n / 768 % 20)));
        arrival.insert(arrival.end(), frame.begin(), frame.end());
        if (n % 100 == 99 || n + 1 == kFrames) {
            ReceiveLiveBytes(app, arrival);
            arrival.clear();
            largestLog = std::max(largestLog, app.ui.messageLog.Text().size());
            largestListing = std::max(largestListing, app.ui.ssdvListing.size());
        }
    }

    EXPECT_LE(largestLog, kMaxLogBytes + 200);
    EXPECT_LE(largestListing, kMaxLogBytes + 400);
    // Both logs still end with the newest frames, behind a line that counts what was dropped.
    EXPECT_GT(DroppedLinesOf(app.ui.messageLog.Text()), 150000u);
    EXPECT_TRUE(app.ui.messageLog.Text().ends_with("73 from the field day\r\n"));
    EXPECT_GT(DroppedLinesOf(app.ui.ssdvListing), 500000u);
    EXPECT_NE(app.ui.ssdvListing.find("Image ID: " + std::to_string((kFrames - 1) % 256)),
              std::string::npos);
    // The packet table holds one copy of each image's packets, however often they came.
    for (int image = 0; image < SsdvPacketTable::kImageCount; ++image)
        EXPECT_EQ(app.ssdvPackets.Count(image), 20) << image;
}

}  // namespace
}  // namespace quorbel
