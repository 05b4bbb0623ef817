// Decoding damaged, partial and hostile streams: no image where nothing is valid, and otherwise
// a JPEG that libjpeg reads without warnings. (cli_test.cpp compares every vector's output.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "decoder.hpp"
#include "ssdv_test_support.hpp"

namespace quorbel::ssdv {
namespace {

// The first packet found has no MCU start: the reference tool crashes. We wait for the first
// packet with an MCU start, whose MCU index takes effect at its offset byte; everything from
// there on matches the undamaged decode.
TEST(DecoderFaultsTest, FirstPacketWithoutMcuStart) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const DecodeResult result =
        DecodeImage(test::ReadBytes(dir / "grad320x240-q7-l118-drop012.bin"), 118);
    ASSERT_TRUE(result.image.has_value());
    EXPECT_EQ(result.image->quality, 7);
    EXPECT_TRUE(result.complete);  // the gap is filled, the later packets complete the image
    const auto damaged = test::ExpectCleanJpeg(result.jpeg, "drop012");
    const auto full = test::DecodeJpeg(test::ReadBytes(dir / "grad320x240-q7-l118-decoded.jpg"));
    ASSERT_EQ(damaged.pixels.size(), full.pixels.size());
    // Packets 0-2 held MCUs 0-2 (the top-left 48x16 pixels), lost; packet 3 records no MCU and
    // decoding resumes at MCU 3 in packet 4. Below the first MCU row (plus one row that chroma
    // upsampling blends across the boundary) the picture is identical to the full decode.
    const std::size_t rowBytes = 320 * 3;
    EXPECT_TRUE(std::equal(damaged.pixels.begin() + 17 * rowBytes, damaged.pixels.end(),
                           full.pixels.begin() + 17 * rowBytes));
    EXPECT_FALSE(std::equal(damaged.pixels.begin(), damaged.pixels.begin() + 16 * rowBytes,
                            full.pixels.begin()));
}

TEST(DecoderFaultsTest, NoValidPacketOrBadLengthGivesNoImage) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto packets = test::ReadBytes(dir / "grad320x240-l118.bin");
    struct Case {
        std::vector<std::uint8_t> input;
        std::size_t length;
        const char* error;
    };
    std::vector<Case> cases = {
        {test::ReadBytes(dir / "empty.bin"), 118, "No valid SSDV packet found"},
        {std::vector<std::uint8_t>(1000, 0x00), 118, "No valid SSDV packet found"},
        {std::vector<std::uint8_t>(packets.begin(), packets.begin() + 117), 118,
         "No valid SSDV packet found"}};
    for (std::size_t length : {0U, 1U, 14U, 18U, 257U, 1000U}) {
        cases.push_back({packets, length, "Invalid SSDV packet length"});
    }
    for (const Case& c : cases) {
        const DecodeResult result = DecodeImage(c.input, c.length);
        EXPECT_FALSE(result.image.has_value()) << c.input.size() << " bytes, L " << c.length;
        EXPECT_TRUE(result.jpeg.empty());
        EXPECT_EQ(result.error, c.error) << c.input.size() << " bytes, L " << c.length;
    }
}

// The window decodes the packets received so far, so every prefix of a stream must give a clean
// JPEG; so must packets whose header is valid but whose payload is noise.
TEST(DecoderFaultsTest, PrefixesAndForgedPayloadsGiveCleanJpegs) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto bytes = test::ReadBytes(dir / "grad320x240-h1v1-l118.bin");
    for (std::size_t count = 1; count * 118 <= bytes.size(); count += 7) {
        const DecodeResult result = DecodeImage(std::span(bytes).first(count * 118), 118);
        ASSERT_TRUE(result.image.has_value()) << count;
        EXPECT_EQ(result.packetsRead, count);
        test::ExpectCleanJpeg(result.jpeg, std::to_string(count) + " packets");
    }
    auto forged = test::ReadBytes(dir / "grad320x240-l118-nofec.bin");
    std::uint32_t noise = 99;
    for (std::size_t packet = 5; packet < 56; packet += 9) {
        for (std::size_t i = 15; i < 114; ++i) {
            noise = noise * 1664525U + 1013904223U;
            forged[packet * 118 + i] = static_cast<std::uint8_t>(noise >> 24);
        }
        SealPacket(PacketType::NoFec, std::span(forged).subspan(packet * 118, 118));
    }
    const DecodeResult result = DecodeImage(forged, 118);
    ASSERT_TRUE(result.image.has_value());
    test::ExpectCleanJpeg(result.jpeg, "forged payloads");
}

}  // namespace
}  // namespace quorbel::ssdv
