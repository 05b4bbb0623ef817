// Encoding: packet files identical to the vectors, round trips through the decoder for every
// MCU mode and quality, restart intervals in the source, and rejected inputs.
#include <gtest/gtest.h>

#include "decoder.hpp"
#include "encoder.hpp"
#include "packet_writer.hpp"
#include "ssdv_test_support.hpp"
#include "tables.hpp"

namespace quorbel::ssdv {
namespace {

EncodeOptions Options(uint8_t imageId, int quality = 4, size_t length = 118,
                      PacketType type = PacketType::kFec) {
    EncodeOptions options;
    options.callsign = "QRBL01";
    options.imageId = imageId;
    options.quality = quality;
    options.packetLength = length;
    options.type = type;
    return options;
}

TEST(EncoderVectorsTest, MatchReferencePacketFilesByteForByte) {
    QUORBEL_REQUIRE_VECTORS(dir);
    struct Case {
        const char* source;
        const char* packets;
        EncodeOptions options;
        size_t count;
    };
    const Case cases[] = {
        {"grad320x240", "grad320x240-l118", Options(1), 84},
        {"grad320x240", "grad320x240-l118-nofec", Options(1, 4, 118, PacketType::kNoFec), 56},
        {"noise640x480", "noise640x480-l118", Options(2), 484},
        {"noise640x480", "noise640x480-l118-nofec", Options(2, 4, 118, PacketType::kNoFec), 325},
        {"small128x96", "small128x96-l118", Options(3), 9},
        {"small128x96", "small128x96-l118-nofec", Options(3, 4, 118, PacketType::kNoFec), 6},
        {"grad320x240-h2v1", "grad320x240-h2v1-l118", Options(4), 99},
        {"grad320x240-h1v2", "grad320x240-h1v2-l118", Options(5), 101},
        {"grad320x240-h1v1", "grad320x240-h1v1-l118", Options(6), 123},
        {"small128x96-grey", "small128x96-grey-l118", Options(7), 7},
        {"small128x96", "small128x96-q0-l118", Options(8, 0), 4},
        {"grad320x240", "grad320x240-q7-l118", Options(9, 7), 237},
        {"tiny16x16", "tiny16x16-l118", Options(10), 1},
        {"small128x96", "small128x96-l256", Options(3, 4, 256), 3},
    };
    for (const Case& c : cases) {
        const EncodeResult result =
            EncodeImage(test::ReadBytes(dir / (std::string(c.source) + ".jpg")), c.options);
        ASSERT_TRUE(result.ok) << c.packets << ": " << result.error;
        EXPECT_EQ(result.packetCount, c.count) << c.packets;
        EXPECT_TRUE(result.packets == test::ReadBytes(dir / (std::string(c.packets) + ".bin")))
            << c.packets;
    }
}

struct RoundTrip {
    const char* what;
    test::PictureOptions picture;
    int quality;
    double minPsnr;
};

// Encodes a libjpeg picture, decodes the packets and compares the pixels with the source.
TEST(EncoderRoundTripTest, AllModesGreyscaleAndQualities) {
    const RoundTrip cases[] = {
        {"2x2", {128, 64, false, 2, 2}, 4, 30.0},
        {"1x2", {128, 64, false, 1, 2}, 4, 30.0},
        {"2x1", {128, 64, false, 2, 1}, 4, 30.0},
        {"1x1", {128, 64, false, 1, 1}, 4, 30.0},
        {"grey", {128, 64, true}, 4, 30.0},
        {"q0", {96, 48}, 0, 18.0},
        {"q1", {96, 48}, 1, 24.0},
        {"q2", {96, 48}, 2, 26.0},
        {"q3", {96, 48}, 3, 28.0},
        {"q5", {96, 48}, 5, 32.0},
        {"q6", {96, 48}, 6, 34.0},
        {"q7", {96, 48}, 7, 34.0},
    };
    for (const RoundTrip& c : cases) {
        const auto source = test::MakeJpeg(c.picture);
        const EncodeResult encoded = EncodeImage(source, Options(42, c.quality));
        ASSERT_TRUE(encoded.ok) << c.what << ": " << encoded.error;
        const DecodeResult decoded = DecodeImage(encoded.packets, 118);
        ASSERT_TRUE(decoded.image.has_value()) << c.what;
        EXPECT_TRUE(decoded.complete) << c.what;
        EXPECT_EQ(decoded.packetsUsed, encoded.packetCount) << c.what;
        EXPECT_EQ(decoded.image->quality, c.quality);
        const auto original = test::DecodeJpeg(source, c.picture.greyscale);
        const auto result = test::DecodeJpeg(decoded.jpeg, c.picture.greyscale);
        ASSERT_TRUE(result.ok) << c.what << ": " << result.firstMessage;
        EXPECT_EQ(result.warnings, 0) << c.what << ": " << result.firstMessage;
        EXPECT_GT(test::Psnr(original, result), c.minPsnr) << c.what;
    }
}

// The rebuilt JPEG depends only on the picture and quality, not on the packet length or type:
// also with the smallest payloads (2 bytes), where the reference encoder is unreliable.
TEST(EncoderRoundTripTest, PacketLengthDoesNotChangeTheImage) {
    const auto source = test::MakeJpeg({160, 96});
    const auto reference = DecodeImage(EncodeImage(source, Options(1)).packets, 118).jpeg;
    ASSERT_FALSE(reference.empty());
    struct Case {
        size_t length;
        PacketType type;
    };
    for (const Case& c :
         {Case{53, PacketType::kFec}, Case{21, PacketType::kNoFec}, Case{22, PacketType::kNoFec},
          Case{60, PacketType::kFec}, Case{200, PacketType::kNoFec}, Case{256, PacketType::kFec}}) {
        const EncodeResult encoded = EncodeImage(source, Options(1, 4, c.length, c.type));
        ASSERT_TRUE(encoded.ok) << c.length << ": " << encoded.error;
        EXPECT_EQ(encoded.packets.size(), encoded.packetCount * c.length);
        const DecodeResult decoded = DecodeImage(encoded.packets, c.length);
        EXPECT_TRUE(decoded.complete) << c.length;
        EXPECT_TRUE(decoded.jpeg == reference) << c.length;
    }
}

// Restart markers change only the source coding: the packets must equal those of the same
// picture without restart intervals, including mid-grey blocks whose DC is exactly 0 right
// after a marker, and for packet lengths where packets fill up next to a marker.
TEST(EncoderRestartTest, RestartIntervalsGiveTheSamePackets) {
    for (bool greyscale : {false, true}) {
        for (int interval : {1, 2, 3, 7, 16}) {
            test::PictureOptions plain{192, 96, greyscale};
            plain.flatGreyBand = true;
            test::PictureOptions restarted = plain;
            restarted.restartInterval = interval;
            const auto plainJpeg = test::MakeJpeg(plain);
            const auto restartJpeg = test::MakeJpeg(restarted);
            ASSERT_NE(plainJpeg, restartJpeg);
            for (size_t length : {118U, 53U, 64U, 256U}) {
                for (int quality : {4, 7}) {
                    const EncodeResult expected =
                        EncodeImage(plainJpeg, Options(5, quality, length));
                    const EncodeResult actual =
                        EncodeImage(restartJpeg, Options(5, quality, length));
                    ASSERT_TRUE(expected.ok) << expected.error;
                    ASSERT_TRUE(actual.ok) << "grey " << greyscale << " interval " << interval
                                           << " L " << length << ": " << actual.error;
                    EXPECT_TRUE(actual.packets == expected.packets)
                        << "grey " << greyscale << " interval " << interval << " L " << length;
                }
            }
        }
    }
}

TEST(EncoderErrorsTest, RejectsUnsupportedAndDamagedInput) {
    const auto good = test::MakeJpeg({64, 32});
    auto truncated = good;
    truncated.resize(good.size() * 2 / 3);
    auto progressive = good;
    for (size_t i = 0; i + 1 < progressive.size(); ++i) {
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xC0) {
            progressive[i + 1] = 0xC2;
            break;
        }
    }
    struct Case {
        const char* what;
        std::vector<uint8_t> jpeg;
        EncodeOptions options;
        const char* error;
    };
    const Case cases[] = {
        {"truncated scan", truncated, Options(1), "Premature end of file"},
        {"progressive", progressive, Options(1), "Progressive JPEG images are not supported"},
        {"size not a multiple of 16", test::MakeJpeg({72, 32}), Options(1),
         "Image width and height must be multiples of 16 between 16 and 4080"},
        {"not a JPEG", std::vector<uint8_t>(100, 0x42), Options(1), "Premature end of file"},
        {"packet too long", good, Options(1, 4, 257), "Invalid SSDV packet length"},
        {"FEC payload below 2 bytes", good, Options(1, 4, 52), "Invalid SSDV packet length"},
        {"no-FEC payload below 2 bytes", good, Options(1, 4, 20, PacketType::kNoFec),
         "Invalid SSDV packet length"},
    };
    for (const Case& c : cases) {
        const EncodeResult result = EncodeImage(c.jpeg, c.options);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_EQ(result.error, c.error) << c.what;
    }
}

// End of image with 2-byte payloads (no-FEC, L = 21): a payload filled exactly by the last MCU
// is the EOI packet; bytes that do not fit start one more packet instead of being dropped.
TEST(PacketWriterTest, LastBytesAlwaysReachAnEoiPacket) {
    PacketHeader header;
    header.type = PacketType::kNoFec;
    header.widthUnits = header.heightUnits = 1;
    struct Case {
        int bits;
        size_t packets;
        std::vector<uint8_t> lastPayload;
    };
    for (const Case& c : {Case{16, 1, {0xAB, 0xAB}}, Case{24, 2, {0xAB, 0x2D}},
                          Case{20, 2, {0xAF, 0x2D}}, Case{8, 1, {0xAB, 0x2D}}}) {
        PacketWriter writer(header, 21);
        writer.BeginUnit();
        for (int i = 0; i < c.bits / 8; ++i) {
            writer.WriteBits(0xAB, 8);
        }
        writer.WriteBits(0xA, c.bits % 8);
        const std::vector<uint8_t> packets = writer.Finish();
        ASSERT_EQ(writer.PacketCount(), c.packets) << c.bits;
        ASSERT_EQ(packets.size(), 21 * c.packets);
        const auto last = ValidatePacket(std::span(packets).last(21));
        ASSERT_TRUE(last.has_value());
        EXPECT_TRUE(last->header.endOfImage);
        EXPECT_EQ(last->header.packetId, c.packets - 1);
        EXPECT_TRUE(std::equal(c.lastPayload.begin(), c.lastPayload.end(), last->Payload().begin()))
            << c.bits;
        if (c.packets == 2) {
            EXPECT_FALSE(ValidatePacket(std::span(packets).first(21))->header.endOfImage);
        }
    }
}

// Huffman tables come from the source file: counts that overflow the code space must be refused
// before any code is assigned.
TEST(EncoderErrorsTest, RejectsOverfullHuffmanTables) {
    HuffmanDefinition overfull;
    overfull.counts = {5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    overfull.values = {1, 2, 3, 4, 5};
    EXPECT_FALSE(HuffmanTable::Build(overfull).has_value());
    HuffmanDefinition full;
    full.counts = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    full.values = {7, 9};
    const auto table = HuffmanTable::Build(full);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->Code(9), 1);
    auto jpeg = test::MakeJpeg({32, 32});
    for (size_t i = 0; i + 5 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC4) {
            // First table (luma DC, counts 0 1 5 ...): three codes of length 1, same total.
            jpeg[i + 5] = 3;
            jpeg[i + 6] = 0;
            jpeg[i + 7] = 3;
            break;
        }
    }
    const EncodeResult result = EncodeImage(jpeg, Options(1));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "Invalid Huffman table");
}

}  // namespace
}  // namespace quorbel::ssdv
