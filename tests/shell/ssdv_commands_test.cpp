// SSDV packets in the program: the listing, the packet table and files, the decoding run with its
// argument list and failures, and the picture that grows while packets arrive.
#include "shell/commands/ssdv_commands.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "ssdv_test_support.hpp"
#include "support/fake_platform.hpp"
#include "support/file_size_limit.hpp"
#include "support/ssdv_packets.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

using testing::MakeSsdvPacket;

struct SsdvSession {
    testing::TempFolder folder;
    testing::FakePlatform platform;
    std::unique_ptr<AppState> app = std::make_unique<AppState>(platform);

    explicit SsdvSession(const std::string& subfolder = "") {
        app->settings.appDir = folder.Path() + subfolder;
        fs::create_directories(app->settings.appDir);
        StartUp(*app);
    }
    void Receive(const Bytes& packet) { ReceiveFrame(*app, samples::MakeSsdvFrame(22, packet)); }
    std::string Path(const std::string& name) const { return app->settings.appDir + "/" + name; }
    std::string Read(const std::string& name) const {
        return testing::TempFolder::Read(Path(name));
    }
};

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

using ::quorbel::testing::FileNames;

TEST(SsdvPacketTest, ListsTheHeaderFieldsAndBothPaths) {
    SsdvSession s;
    s.Receive(MakeSsdvPacket(7, 3));
    const std::string bin = s.Path("ssdv_007.bin"), jpg = s.Path("ssdv_007.jpg");
    EXPECT_EQ(s.app->ui.ssdvListing,
              "Image ID: 7\r\nPacket ID: 3\r\nWidth:320\r\nHeight:240\r\n"
              "Flags: 3\r\nMCU Offset: 9\r\nMCU Index: 300\r\n" +
                  bin + "\r\n" + jpg + "\r\n\r\n");
    EXPECT_EQ(s.Read("ssdv_007.bin"), Text(MakeSsdvPacket(7, 3)));
    EXPECT_EQ(s.app->ssdvPackets.Count(7), 1);

    // The next listing follows the first; packet ID 300 is listed and appended, not kept.
    s.Receive(MakeSsdvPacket(7, 300));
    EXPECT_NE(s.app->ui.ssdvListing.find("\r\n\r\nImage ID: 7\r\nPacket ID: 300\r\n"),
              std::string::npos);
    EXPECT_EQ(s.Read("ssdv_007.bin"), Text(MakeSsdvPacket(7, 3)) + Text(MakeSsdvPacket(7, 300)));
    EXPECT_EQ(s.app->ssdvPackets.Count(7), 1);
}

TEST(SsdvPacketTest, AShortFrameTakesThePacketsTailFromTheFrameBuffer) {
    SsdvSession s;
    s.Receive(MakeSsdvPacket(1, 0, 0x11));
    Bytes shortFrame = samples::MakeSsdvFrame(22, MakeSsdvPacket(1, 1, 0x22));
    shortFrame.resize(60);  // positions 61 to 126 still hold the first packet's bytes
    ReceiveFrame(*s.app, shortFrame);
    const std::string file = s.Read("ssdv_001.bin");
    ASSERT_EQ(file.size(), 236u);
    EXPECT_EQ(file.substr(118, 52), Text(MakeSsdvPacket(1, 1, 0x22)).substr(0, 52));
    EXPECT_EQ(file.substr(170), Text(MakeSsdvPacket(1, 0, 0x11)).substr(52));
}

// The decoder's arguments are the paths as they stand, here in a folder with spaces and quotes.
TEST(SsdvDecodingRunTest, WritesTableOrderOnceAndStartsTheDecoderWithItsArguments) {
    const std::string station = "Station's \"QUORBEL\" pass";
    SsdvSession s("/" + station);
    // An earlier run left a longer, arrival-ordered file: it is replaced, not overwritten in part.
    s.folder.Write(station + "/ssdv_000.bin", std::string(10 * 118, 'x'));
    // Packet 5 comes again with other bytes (a corrected retransmission): its later copy counts.
    for (int id : {5, 2, 9})
        s.Receive(MakeSsdvPacket(0, id, static_cast<std::uint8_t>(id)));
    s.Receive(MakeSsdvPacket(0, 5, 0x55));
    s.Receive(MakeSsdvPacket(0, 300));
    EXPECT_EQ(fs::file_size(s.Path("ssdv_000.bin")), (10 + 5) * 118u);
    EXPECT_EQ(s.app->ssdvPackets.Count(0), 3);

    EXPECT_FALSE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_EQ(s.Read("ssdv_000.bin"), Text(MakeSsdvPacket(0, 2, 2)) +
                                          Text(MakeSsdvPacket(0, 5, 0x55)) +
                                          Text(MakeSsdvPacket(0, 9, 9)));
    ASSERT_EQ(s.platform.started.size(), 1u);
    EXPECT_EQ(s.platform.started[0].program, "/opt/ssdv/bin/ssdv");
    EXPECT_EQ(s.platform.started[0].arguments,
              (std::vector<std::string>{"-d", "-l", "118", s.Path("ssdv_000.bin"),
                                        s.Path("ssdv_000.jpg")}));
    EXPECT_EQ(s.app->ui.statusLine, s.Path("ssdv_000.bin") + " has been written");
    // No other image had packets or files: none is left behind.
    EXPECT_EQ(FileNames(s.app->settings.appDir), std::vector<std::string>{"ssdv_000.bin"});
}

TEST(SsdvDecodingRunTest, AFileThatHoldsTheTablesPacketsAlreadyIsLeftAsItStands) {
    SsdvSession s;
    // A clean pass: every packet once, in order. The run names the file and decodes it, but the
    // file is the one the packets were appended to, not a new one renamed over it.
    for (int id : {0, 1, 2})
        s.Receive(MakeSsdvPacket(4, id, static_cast<std::uint8_t>(id)));
    const auto inode = [&] {
        struct stat info {};
        return ::stat(s.Path("ssdv_004.bin").c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const auto appendedTo = inode();
    ASSERT_NE(appendedTo, 0u);
    EXPECT_FALSE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_EQ(inode(), appendedTo);
    EXPECT_EQ(s.app->ui.statusLine, s.Path("ssdv_004.bin") + " has been written");
    EXPECT_EQ(s.platform.started.size(), 1u);
    // A repeated packet makes the file differ from the table: then it is rewritten.
    s.Receive(MakeSsdvPacket(4, 1, 1));
    EXPECT_FALSE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_NE(inode(), appendedTo);
    EXPECT_EQ(s.Read("ssdv_004.bin"), Text(MakeSsdvPacket(4, 0, 0)) +
                                          Text(MakeSsdvPacket(4, 1, 1)) +
                                          Text(MakeSsdvPacket(4, 2, 2)));
}

TEST(SsdvDecodingRunTest, FilesOfEarlierRunsAreDecodedAgainAndEmptyOnesDeleted) {
    SsdvSession s;
    s.folder.Write("ssdv_004.bin", Text(MakeSsdvPacket(4, 0)));
    s.folder.Write("ssdv_006.bin", std::string());
    const std::string status = s.app->ui.statusLine;
    EXPECT_FALSE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_EQ(s.Read("ssdv_004.bin"), Text(MakeSsdvPacket(4, 0)));
    EXPECT_FALSE(fs::exists(s.Path("ssdv_006.bin")));
    ASSERT_EQ(s.platform.started.size(), 1u);
    EXPECT_EQ(s.platform.started[0].arguments[3], s.Path("ssdv_004.bin"));
    EXPECT_EQ(s.app->ui.statusLine, status);  // no image had packets in the table
}

TEST(SsdvDecodingRunTest, AFailingImageIsNamedAndTheOthersAreStillWrittenAndDecoded) {
    SsdvSession s;
    for (int image : {1, 3, 8})
        s.Receive(MakeSsdvPacket(image, 0));
    // Image 3's packet file cannot be replaced: a folder stands in its place.
    fs::remove(s.Path("ssdv_003.bin"));
    fs::create_directory(s.Path("ssdv_003.bin"));
    EXPECT_TRUE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_EQ(s.Read("ssdv_001.bin"), Text(MakeSsdvPacket(1, 0)));
    EXPECT_EQ(s.Read("ssdv_008.bin"), Text(MakeSsdvPacket(8, 0)));
    ASSERT_EQ(s.platform.started.size(), 2u);
    EXPECT_EQ(s.platform.started[1].arguments[4], s.Path("ssdv_008.jpg"));
    EXPECT_EQ(s.app->ui.statusLine, s.Path("ssdv_008.bin") + " has been written; " +
                                        s.Path("ssdv_003.bin") + " could not be written");

    // Without a decoder the files are still written, and the status line says so once.
    s.platform.programs.clear();
    s.platform.started.clear();
    EXPECT_TRUE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_TRUE(s.platform.started.empty());
    EXPECT_EQ(s.app->ui.statusLine, s.Path("ssdv_008.bin") + " has been written; " +
                                        "ssdv decoder not found; " + s.Path("ssdv_003.bin") +
                                        " could not be written");
    s.platform.programs["ssdv"] = "/opt/ssdv/bin/ssdv";
    s.platform.startFails = true;
    EXPECT_TRUE(DecodeSsdvImages(*s.app).Failed());
    EXPECT_NE(s.app->ui.statusLine.find("/opt/ssdv/bin/ssdv could not be started"),
              std::string::npos);
}

// The decoders run on their own; the platform reports their ends. One that failed names its
// picture once; the end of a program the run did not start, or of one that succeeded, changes
// nothing; one ended by a signal did not end normally.
TEST(SsdvDecodingRunTest, ADecoderThatFailsNamesItsPicture) {
    SsdvSession s;
    for (int image : {4, 5})
        s.Receive(MakeSsdvPacket(image, 0));
    DecodeSsdvImages(*s.app);
    ASSERT_EQ(s.platform.started.size(), 2u);  // ids 1 and 2
    const std::string status = s.app->ui.statusLine;
    EXPECT_TRUE(FinishSsdvDecoder(*s.app, {1, 0}).problems.empty());
    EXPECT_TRUE(FinishSsdvDecoder(*s.app, {7, 2}).problems.empty());
    EXPECT_EQ(s.app->ui.statusLine, status);
    EXPECT_TRUE(FinishSsdvDecoder(*s.app, {2, 255}).Failed());
    EXPECT_EQ(s.app->ui.statusLine, s.Path("ssdv_005.jpg") + " could not be written");
    EXPECT_FALSE(FinishSsdvDecoder(*s.app, {2, 255}).Failed());  // reported once
    DecodeSsdvImages(*s.app);
    EXPECT_EQ(
        ExplainProblem(FinishSsdvDecoder(*s.app, {4, -1}).problems.at(0)),
        s.Path("ssdv_005.jpg") + " could not be written: the picture decoder did not end normally");
}

// The packet file is rewritten beside itself: a write that fails halfway through the system's
// file calls (the file-size limit stops it with EFBIG) leaves the old file byte for byte and no
// temporary file, names the file in the status line and starts no decoder for it.
TEST(SsdvDecodingRunTest, APacketFileWriteFailingHalfwayKeepsTheOldFileWhole) {
    SsdvSession s;
    for (int packetId = 99; packetId >= 0; --packetId)
        s.Receive(MakeSsdvPacket(7, packetId));
    const std::string old = s.Read("ssdv_007.bin");
    ASSERT_EQ(old.size(), 100 * 118u);
    const auto outcome = testing::RunWithFileSizeLimit(4096, [&s] {
        const CommandOutcome run = DecodeSsdvImages(*s.app);
        return std::to_string(!run.Failed()) + std::to_string(s.platform.started.size()) + " " +
               s.app->ui.statusLine + "|" + ExplainProblem(run.problems.at(0));
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, "00 " + s.Path("ssdv_007.bin") + " could not be written|" +
                            s.Path("ssdv_007.bin") + " could not be written: File too large");
    EXPECT_EQ(s.Read("ssdv_007.bin"), old);
    EXPECT_EQ(FileNames(s.folder.Path()), std::vector<std::string>{"ssdv_007.bin"});

    EXPECT_FALSE(DecodeSsdvImages(*s.app).Failed());  // in packet ID order now
    EXPECT_EQ(s.Read("ssdv_007.bin").substr(0, 118), Text(MakeSsdvPacket(7, 0)));
}

// The two committed sample passes carry SSDV packets of different images: reading the sample
// pass after the picture pass in one application folder, in the same run of the program or in a
// later one (a packet table without the picture), keeps the picture's packet file whole.
TEST(SsdvDecodingRunTest, TheSamplePassKeepsThePicturePassesPacketFile) {
    SsdvSession s;
    const std::string samples = std::string(QUORBEL_SOURCE_DIR) + "/samples/";
    OpenCaptureFiles(*s.app, {samples + "picture-pass.kss"});
    const std::string picture = s.Read("ssdv_007.bin");
    ASSERT_EQ(picture.size(), 146 * 118u);

    for (const bool restarted : {false, true}) {
        if (restarted) {
            s.app = std::make_unique<AppState>(s.platform);
            s.app->settings.appDir = s.folder.Path();
            StartUp(*s.app);
        }
        OpenCaptureFiles(*s.app, {samples + "pass.kss"});
        EXPECT_EQ(s.Read("ssdv_007.bin"), picture) << restarted;
        EXPECT_EQ(s.app->ssdvPackets.Count(2), 6);
        EXPECT_EQ(s.app->ssdvPackets.Count(7), restarted ? 0 : 146);
        EXPECT_EQ(fs::file_size(s.Path("ssdv_002.bin")), 6 * 118u);
    }
    EXPECT_EQ(s.app->ui.statusLine, s.Path("ssdv_002.bin") + " has been written");
    // Every capture read ends with a decoding run: both reads of the sample pass decode image 2.
    EXPECT_EQ(
        std::count_if(s.platform.started.begin(), s.platform.started.end(),
                      [&](const auto& run) { return run.arguments[3] == s.Path("ssdv_002.bin"); }),
        2);
}

// The packets of a real picture, made by the codec from a picture drawn for the test.
Bytes PicturePackets(int imageId) {
    const Bytes jpeg = ssdv::test::MakeJpeg({.width = 96, .height = 64});
    return samples::EncodePicturePackets(jpeg, imageId);
}

TEST(ReceivedPictureTest, ThePictureBoxGrowsWithEveryPacketBeforeAnyDecodingRun) {
    SsdvSession s;
    const Bytes packets = PicturePackets(42);
    const std::size_t count = packets.size() / 118;
    ASSERT_GE(count, 4u);
    std::vector<std::vector<std::uint8_t>> shown;
    for (std::size_t i = 0; i < count; ++i) {
        s.Receive(Bytes(packets.begin() + 118 * i, packets.begin() + 118 * (i + 1)));
        ASSERT_FALSE(s.app->ui.picture.jpeg.empty()) << i;
        shown.push_back(s.app->ui.picture.jpeg);
    }
    EXPECT_TRUE(s.platform.started.empty());
    EXPECT_NE(shown.front(), shown.back());
    const ssdv::test::DecodedPicture first = ssdv::test::ExpectCleanJpeg(shown.front(), "first");
    const ssdv::test::DecodedPicture last = ssdv::test::ExpectCleanJpeg(shown.back(), "last");
    EXPECT_NE(first.pixels, last.pixels);
    EXPECT_EQ(s.app->ui.picture.caption,
              "Image 42, 96 x 64: " + std::to_string(count) + " packets, complete");
    EXPECT_TRUE(s.app->ui.picture.path.empty());
    // A packet received again is not counted again.
    s.Receive(Bytes(packets.begin(), packets.begin() + 118));
    EXPECT_EQ(s.app->ui.picture.caption,
              "Image 42, 96 x 64: " + std::to_string(count) + " packets, complete");

    // Packets that do not decode leave the picture to the decoder's file, when there is one.
    s.folder.Write("ssdv_005.jpg", std::string("\xFF\xD8\xFF\xD9"));
    s.Receive(MakeSsdvPacket(5, 0));
    EXPECT_EQ(s.app->ui.picture.path, s.Path("ssdv_005.jpg"));
    EXPECT_TRUE(s.app->ui.picture.jpeg.empty());
}

TEST(ReceivedPictureTest, WhileAFileIsReadThePictureFollowsTwiceASecondAndAtTheEnd) {
    SsdvSession s;
    samples::PassOptions pass;
    pass.picturePackets = PicturePackets(7);
    const int total = static_cast<int>(pass.picturePackets.size() / 118);
    ASSERT_GE(total, 6);
    const std::string capture = s.folder.Write("pass.kss", samples::MakePassCapture(pass));
    // The clock moves on by 250 ms at each packet's reading: the picture is decoded again at the
    // first packet, then whenever half a second has passed since (the 3rd, 5th, ... packet), and
    // once more at the end for the packets after the last time.
    s.platform.tick = std::chrono::milliseconds(250);
    std::vector<int> shownAt;  // the number of packets in the table at each new picture
    std::vector<std::uint8_t> last;
    const auto look = [&] {
        if (s.app->ui.picture.jpeg != last) {
            last = s.app->ui.picture.jpeg;
            shownAt.push_back(s.app->ssdvPackets.Count(7));
        }
    };
    s.platform.onDoEvents = look;
    OpenCaptureFiles(*s.app, {capture});
    look();
    std::vector<int> expected;
    for (int n = 1; n <= total; n += 2)
        expected.push_back(n);
    if (expected.back() != total)
        expected.push_back(total);
    EXPECT_EQ(shownAt, expected);
    EXPECT_NE(s.app->ui.picture.caption.find(", complete"), std::string::npos);
}

}  // namespace
}  // namespace quorbel
