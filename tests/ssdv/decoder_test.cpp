// Decoding the shared vectors: byte-identical output where the reference tool is sound, and the
// sound behaviour (checked with libjpeg) where it is not.
#include <gtest/gtest.h>

#include "decoder.hpp"
#include "ssdv_test_support.hpp"

namespace quorbel::ssdv {
namespace {

DecodeResult DecodeFile(const std::filesystem::path& path, size_t length = 118) {
    return DecodeImage(test::ReadBytes(path), length);
}

TEST(DecoderVectorsTest, MatchReferenceOutputByteForByte) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const char* stems[] = {
        "grad320x240-l118", "grad320x240-l118-nofec", "noise640x480-l118",
        "noise640x480-l118-nofec", "small128x96-l118", "small128x96-l118-nofec",
        "grad320x240-h2v1-l118", "grad320x240-h1v2-l118", "grad320x240-h1v1-l118",
        "small128x96-grey-l118", "small128x96-q0-l118", "grad320x240-q7-l118", "tiny16x16-l118",
        "small128x96-l256",
        // damaged streams where the reference behaves soundly
        "grad320x240-l118-drop10", "grad320x240-l118-dup", "grad320x240-l118-corrupt1",
        "grad320x240-l118-corrupt20", "grad320x240-l118-nofec-corrupt1", "grad320x240-l118-sync00",
        "grad320x240-l118-junk", "grad320x240-l118-trunc", "grad320x240-l118-drop0"};
    for (const std::string stem : stems) {
        const size_t length = stem.find("l256") != std::string::npos ? 256 : 118;
        const DecodeResult result = DecodeFile(dir / (stem + ".bin"), length);
        ASSERT_TRUE(result.image.has_value()) << stem;
        EXPECT_TRUE(result.jpeg == test::ReadBytes(dir / (stem + "-decoded.jpg"))) << stem;
    }
}

TEST(DecoderVectorsTest, ReportsImageAndGaps) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const DecodeResult result = DecodeFile(dir / "grad320x240-l118-drop10.bin");
    ASSERT_TRUE(result.image.has_value());
    EXPECT_EQ(result.image->callsign, "QRBL01");
    EXPECT_EQ(result.image->imageId, 1);
    EXPECT_EQ(result.image->width, 320);
    EXPECT_EQ(result.image->mcuCount, 300);
    EXPECT_EQ(result.packetsRead, 76U);
    EXPECT_FALSE(result.notes.empty());
    EXPECT_EQ(result.notes.front(), "Gap detected between packets 4 and 6");
    EXPECT_TRUE(result.complete);
}

struct SoundCase {
    const char* file;
    const char* expected;  // reference output of the same picture, undamaged
};

// Where the reference tool decodes repeats after the end, splices other images or loses
// reordered packets, our output is the undamaged picture and libjpeg reads it cleanly.
TEST(DecoderFaultsTest, RepeatsForeignAndShuffledPacketsGiveTheCleanImage) {
    QUORBEL_REQUIRE_VECTORS(dir);
    for (const SoundCase& c :
         {SoundCase{"grad320x240-l118-duplast.bin", "grad320x240-l118-decoded.jpg"},
          SoundCase{"grad320x240-l118-mixed.bin", "small128x96-l118-decoded.jpg"},
          SoundCase{"grad320x240-l118-shuffled.bin", "grad320x240-l118-decoded.jpg"},
          SoundCase{"tiny16x16-l118-x2.bin", "tiny16x16-l118-decoded.jpg"}}) {
        const DecodeResult result = DecodeFile(dir / c.file);
        const auto expected = test::ReadBytes(dir / c.expected);
        EXPECT_TRUE(result.jpeg == expected) << c.file;
        const auto picture = test::DecodeJpeg(result.jpeg);
        EXPECT_TRUE(picture.ok) << c.file;
        EXPECT_EQ(picture.warnings, 0) << c.file << ": " << picture.firstMessage;
    }
}

// The first packet found has no MCU start: the reference tool crashes. We wait for the first
// packet with an MCU start; everything from there on matches the undamaged decode.
TEST(DecoderFaultsTest, FirstPacketWithoutMcuStart) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const DecodeResult result = DecodeFile(dir / "grad320x240-q7-l118-drop012.bin");
    ASSERT_TRUE(result.image.has_value());
    EXPECT_EQ(result.image->quality, 7);
    const auto damaged = test::DecodeJpeg(result.jpeg);
    ASSERT_TRUE(damaged.ok);
    EXPECT_EQ(damaged.warnings, 0) << damaged.firstMessage;
    const auto full = test::DecodeJpeg(test::ReadBytes(dir / "grad320x240-q7-l118-decoded.jpg"));
    ASSERT_EQ(damaged.pixels.size(), full.pixels.size());
    // Packets 0-2 held MCUs 0-2 (the top-left 48x16 pixels), lost; packet 3 records no MCU and
    // decoding resumes at MCU 3 in packet 4. Below the first MCU row (plus one row that chroma
    // upsampling blends across the boundary) the picture is identical to the full decode.
    const size_t rowBytes = 320 * 3;
    EXPECT_TRUE(std::equal(damaged.pixels.begin() + 17 * rowBytes, damaged.pixels.end(),
                           full.pixels.begin() + 17 * rowBytes));
    EXPECT_FALSE(std::equal(damaged.pixels.begin(), damaged.pixels.begin() + 16 * rowBytes,
                            full.pixels.begin()));
}

TEST(DecoderFaultsTest, NothingValidGivesNoImage) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto packets = test::ReadBytes(dir / "grad320x240-l118.bin");
    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        std::vector<uint8_t>(117, 0x55),
        std::vector<uint8_t>(1000, 0x00),
        std::vector<uint8_t>(packets.begin(), packets.begin() + 117)};
    for (const auto& input : inputs) {
        const DecodeResult result = DecodeImage(input, 118);
        EXPECT_FALSE(result.image.has_value());
        EXPECT_TRUE(result.jpeg.empty());
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(DecoderFaultsTest, RejectsPacketLengthsOutsideTheFormat) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto bytes = test::ReadBytes(dir / "grad320x240-l118.bin");
    for (size_t length : {0U, 1U, 14U, 18U, 257U, 1000U}) {
        const DecodeResult result = DecodeImage(bytes, length);
        EXPECT_FALSE(result.image.has_value()) << length;
        EXPECT_EQ(result.error, "Invalid SSDV packet length");
    }
}

// The window decodes the packets received so far: every prefix must give a clean JPEG.
TEST(DecoderFaultsTest, EveryPrefixOfThePacketsDecodesCleanly) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto bytes = test::ReadBytes(dir / "grad320x240-h1v1-l118.bin");
    for (size_t count = 1; count * 118 <= bytes.size(); count += 7) {
        const DecodeResult result = DecodeImage(std::span(bytes).first(count * 118), 118);
        ASSERT_TRUE(result.image.has_value()) << count;
        EXPECT_EQ(result.packetsRead, count);
        const auto picture = test::DecodeJpeg(result.jpeg);
        EXPECT_TRUE(picture.ok) << count;
        EXPECT_EQ(picture.warnings, 0) << count << ": " << picture.firstMessage;
    }
}

// A packet whose header is valid but whose payload is noise must not leave a broken scan.
TEST(DecoderFaultsTest, ForgedPayloadsStillGiveReadableJpeg) {
    QUORBEL_REQUIRE_VECTORS(dir);
    auto bytes = test::ReadBytes(dir / "grad320x240-l118-nofec.bin");
    uint32_t noise = 99;
    for (size_t packet = 5; packet < 56; packet += 9) {
        for (size_t i = 15; i < 114; ++i) {
            noise = noise * 1664525U + 1013904223U;
            bytes[packet * 118 + i] = static_cast<uint8_t>(noise >> 24);
        }
        SealPacket(PacketType::kNoFec, std::span(bytes).subspan(packet * 118, 118));
    }
    const DecodeResult result = DecodeImage(bytes, 118);
    ASSERT_TRUE(result.image.has_value());
    const auto picture = test::DecodeJpeg(result.jpeg);
    EXPECT_TRUE(picture.ok) << picture.firstMessage;
    EXPECT_EQ(picture.warnings, 0) << picture.firstMessage;
}

}  // namespace
}  // namespace quorbel::ssdv
