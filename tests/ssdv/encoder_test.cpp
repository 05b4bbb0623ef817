// Encoding libjpeg pictures: round trips through the decoder for every MCU mode and quality,
// restart intervals in the source, the end-of-image packet and rejected inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "decoder.hpp"
#include "encoder.hpp"
#include "packet_writer.hpp"
#include "ssdv_test_support.hpp"
#include "tables.hpp"

namespace quorbel::ssdv {
namespace {

EncodeOptions MakeOptions(int quality = 4, std::size_t length = 118,
                          PacketType type = PacketType::Fec) {
    return {type, "QRBL01", 1, quality, length};
}

// Position of the first marker FF `code` in a JPEG.
std::size_t FindMarker(const std::vector<std::uint8_t>& jpeg, std::uint8_t code) {
    const std::uint8_t marker[] = {0xFF, code};
    return static_cast<std::size_t>(std::search(jpeg.begin(), jpeg.end(), marker, marker + 2) -
                                    jpeg.begin());
}

// Encodes a libjpeg picture, decodes the packets and compares the pixels with the source. The
// rebuilt JPEG depends only on the picture and quality, not on the packet length or type: also
// with the smallest payloads (2 bytes), where the reference encoder is unreliable.
TEST(EncoderRoundTripTest, AllModesGreyscaleQualitiesAndPacketLengths) {
    constexpr PacketType kFec = PacketType::Fec;
    constexpr PacketType kNoFec = PacketType::NoFec;
    struct Case {
        const char* what;
        test::PictureOptions picture;
        int quality;
        double minPsnr;
        std::size_t length;  // also encoded with this packet length and type
        PacketType type;
    };
    const Case cases[] = {
        {"2x2", {128, 64, false, 2, 2}, 4, 30.0, 53, kFec},
        {"1x2", {128, 64, false, 1, 2}, 4, 30.0, 21, kNoFec},
        {"2x1", {128, 64, false, 2, 1}, 4, 30.0, 22, kNoFec},
        {"1x1", {128, 64, false, 1, 1}, 4, 30.0, 60, kFec},
        {"grey", {128, 64, true}, 4, 30.0, 200, kNoFec},
        {"2x2 160x96", {160, 96}, 4, 30.0, 256, kFec},
        {"q0", {96, 48}, 0, 18.0, 21, kNoFec},
        {"q1", {96, 48}, 1, 24.0, 53, kFec},
        {"q2", {96, 48}, 2, 26.0, 64, kFec},
        {"q3", {96, 48}, 3, 28.0, 118, kNoFec},
        {"q5", {96, 48}, 5, 32.0, 22, kNoFec},
        {"q6", {96, 48}, 6, 34.0, 256, kNoFec},
        {"q7", {96, 48}, 7, 34.0, 53, kFec},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto source = test::MakeJpeg(c.picture);
        const EncodeResult encoded = EncodeImage(source, MakeOptions(c.quality));
        ASSERT_TRUE(encoded.ok) << encoded.error;
        const DecodeResult decoded = DecodeImage(encoded.packets, 118);
        ASSERT_TRUE(decoded.image.has_value());
        EXPECT_TRUE(decoded.complete);
        EXPECT_EQ(decoded.packetsUsed, encoded.packetCount);
        EXPECT_EQ(decoded.image->quality, c.quality);
        const auto result = test::ExpectCleanJpeg(decoded.jpeg, c.what, c.picture.greyscale);
        EXPECT_GT(test::MeasurePsnr(test::DecodeJpeg(source, c.picture.greyscale), result),
                  c.minPsnr);

        const EncodeResult other = EncodeImage(source, MakeOptions(c.quality, c.length, c.type));
        ASSERT_TRUE(other.ok) << c.length << ": " << other.error;
        EXPECT_EQ(other.packets.size(), other.packetCount * c.length);
        const DecodeResult otherDecoded = DecodeImage(other.packets, c.length);
        EXPECT_TRUE(otherDecoded.complete) << c.length;
        EXPECT_TRUE(otherDecoded.jpeg == decoded.jpeg) << c.length;
    }
}

// Restart markers change only the source coding: the packets must equal those of the same
// picture without restart intervals, including mid-grey blocks whose DC is exactly 0 right
// after a marker, and for packet lengths where packets fill up next to a marker.
TEST(EncoderRestartTest, RestartIntervalsGiveTheSamePackets) {
    for (bool greyscale : {false, true}) {
        test::PictureOptions plain{192, 96, greyscale};
        plain.flatGreyBand = true;
        const auto plainJpeg = test::MakeJpeg(plain);
        for (int interval : {1, 2, 3, 7, 16}) {
            test::PictureOptions restarted = plain;
            restarted.restartInterval = interval;
            const auto restartJpeg = test::MakeJpeg(restarted);
            ASSERT_NE(plainJpeg, restartJpeg);
            for (std::size_t length : {118U, 53U, 64U, 256U}) {
                for (int quality : {4, 7}) {
                    const EncodeResult expected =
                        EncodeImage(plainJpeg, MakeOptions(quality, length));
                    const EncodeResult actual =
                        EncodeImage(restartJpeg, MakeOptions(quality, length));
                    SCOPED_TRACE(testing::Message()
                                 << "grey " << greyscale << " interval " << interval << " L "
                                 << length << " q " << quality);
                    ASSERT_TRUE(expected.ok && actual.ok) << actual.error;
                    EXPECT_TRUE(actual.packets == expected.packets);
                }
            }
        }
    }
}

// Damaged or unsupported sources and packet lengths outside the format are refused, including a
// hostile DHT segment: counts that overflow the code space are refused before any code is
// assigned.
// A source block whose last coefficients become zero at the SSDV quality and then end with a run
// of sixteen zeros (code F0) reaching position 63: the block must still end in the output, or the
// decoder reads the next block's codes as this one's and the later MCU positions disagree. The
// JPEG is one the fuzzer made (fuzz/corpus/fuzz_ssdv_encode/, after its options byte).
TEST(EncoderRoundTripTest, ABlockEndedByARunOfZerosEndsInTheOutput) {
    const std::vector<std::uint8_t> input =
        test::ReadBytes(std::filesystem::path(QUORBEL_SOURCE_DIR) /
                        "fuzz/corpus/fuzz_ssdv_encode/zero-run-ends-block");
    ASSERT_GT(input.size(), 1u);
    const std::vector<std::uint8_t> jpeg(input.begin() + 1, input.end());
    const EncodeResult encoded = EncodeImage(jpeg, MakeOptions(4, 118));
    ASSERT_TRUE(encoded.ok) << encoded.error;
    const DecodeResult decoded = DecodeImage(encoded.packets, 118);
    ASSERT_TRUE(decoded.image.has_value());
    EXPECT_TRUE(decoded.complete);
    EXPECT_EQ(decoded.packetsUsed, encoded.packetCount);
    EXPECT_TRUE(decoded.notes.empty()) << decoded.notes.front();
}

TEST(EncoderErrorsTest, RejectsUnsupportedDamagedAndHostileInput) {
    const auto full = HuffmanTable::Build({{2}, {7, 9}});  // codes 0 and 1: all of length 1
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->Code(9), 1);

    const auto good = test::MakeJpeg({64, 32});
    auto truncated = good;
    truncated.resize(good.size() * 2 / 3);
    auto progressive = good;
    progressive.at(FindMarker(progressive, 0xC0) + 1) = 0xC2;
    auto hostile = good;
    // First table (luma DC, counts 0 1 5 ...): three codes of length 1, same total.
    const std::size_t dht = FindMarker(hostile, 0xC4);
    ASSERT_EQ(hostile.at(dht + 6), 1);
    hostile.at(dht + 5) = 3;
    hostile.at(dht + 6) = 0;
    hostile.at(dht + 7) = 3;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> jpeg;
        EncodeOptions options;
        const char* error;
    };
    const Case cases[] = {
        {"truncated scan", truncated, MakeOptions(), "Premature end of file"},
        {"progressive", progressive, MakeOptions(), "Progressive JPEG images are not supported"},
        {"size not a multiple of 16", test::MakeJpeg({72, 32}), MakeOptions(),
         "Image width and height must be multiples of 16 between 16 and 4080"},
        {"not a JPEG", std::vector<std::uint8_t>(100, 0x42), MakeOptions(),
         "Premature end of file"},
        {"overfull Huffman table", hostile, MakeOptions(), "Invalid Huffman table"},
        {"packet too long", good, MakeOptions(4, 257), "Invalid SSDV packet length"},
        {"FEC payload below 2 bytes", good, MakeOptions(4, 52), "Invalid SSDV packet length"},
        {"no-FEC payload below 2 bytes", good, MakeOptions(4, 20, PacketType::NoFec),
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
    header.type = PacketType::NoFec;
    header.widthUnits = header.heightUnits = 1;
    struct Case {
        int bits;
        std::size_t packets;
        std::vector<std::uint8_t> lastPayload;
    };
    for (const Case& c : {Case{16, 1, {0xAB, 0xAB}}, Case{24, 2, {0xAB, 0x2D}},
                          Case{20, 2, {0xAF, 0x2D}}, Case{8, 1, {0xAB, 0x2D}}}) {
        PacketWriter writer(header, 21);
        writer.BeginUnit();
        for (int i = 0; i < c.bits / 8; ++i) {
            writer.WriteBits(0xAB, 8);
        }
        writer.WriteBits(0xA, c.bits % 8);
        const std::vector<std::uint8_t> packets = writer.Finish();
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

}  // namespace
}  // namespace quorbel::ssdv
