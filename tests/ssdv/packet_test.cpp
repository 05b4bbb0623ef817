// Packet header fields, callsign code, payload lengths and the validation of packet windows.
#include <gtest/gtest.h>

#include "crc32.hpp"
#include "packet.hpp"
#include "ssdv_test_support.hpp"

namespace quorbel::ssdv {
namespace {

TEST(CallsignTest, EncodesAndDecodes) {
    struct Case {
        const char* text;
        uint32_t code;
        const char* decoded;
    };
    for (const Case& c : {Case{"QRBL01", 0x0C74DCB6U, "QRBL01"},
                          Case{"TEST01", 0x0C7D14F1U, "TEST01"}, Case{"AB1", 0x00000EE6U, "AB1"},
                          Case{"a", 0x0000000EU, "A"}, Case{"ZZZZZZ", 0xF423FFFFU, "ZZZZZZ"},
                          Case{"", 0U, ""}, Case{"A B", EncodeCallsign("A B"), "A-B"},
                          Case{"QRBL01XYZ", 0x0C74DCB6U, "QRBL01"}, Case{"AB  ", 0x266U, "AB"}}) {
        EXPECT_EQ(EncodeCallsign(c.text), c.code) << c.text;
        EXPECT_EQ(DecodeCallsign(c.code), c.decoded) << c.text;
    }
    EXPECT_EQ(DecodeCallsign(0xF4240000U), "");  // above the largest six-character code
    EXPECT_EQ(DecodeCallsign(11), "-");          // digit never produced by the encoder
}

TEST(PacketLayoutTest, PayloadLengthsAndMcuCounts) {
    EXPECT_EQ(PayloadLength(PacketType::kFec, 118), 67U);
    EXPECT_EQ(PayloadLength(PacketType::kNoFec, 118), 99U);
    EXPECT_EQ(PayloadLength(PacketType::kFec, 256), 205U);
    EXPECT_EQ(PayloadLength(PacketType::kNoFec, 256), 237U);
    EXPECT_EQ(PayloadLength(PacketType::kFec, 51), 0U);
    EXPECT_FALSE(PayloadLength(PacketType::kFec, 50).has_value());
    EXPECT_FALSE(PayloadLength(PacketType::kNoFec, 18).has_value());
    EXPECT_FALSE(PayloadLength(PacketType::kNoFec, 257).has_value());
    EXPECT_EQ(CountMcus(20, 15, McuMode::k2x2), 300);
    EXPECT_EQ(CountMcus(20, 15, McuMode::k1x2), 600);
    EXPECT_EQ(CountMcus(20, 15, McuMode::k2x1), 600);
    EXPECT_EQ(CountMcus(20, 15, McuMode::k1x1), 1200);
}

TEST(PacketHeaderTest, ParsesWorkedExampleAndWritesItBack) {
    const std::vector<uint8_t> bytes = {0x55, 0x66, 0x0C, 0x74, 0xDC, 0xB6, 0x01, 0x00,
                                        0x01, 0x14, 0x0F, 0x00, 0x1B, 0x00, 0x03};
    const auto header = ParsePacketHeader(bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->type, PacketType::kFec);
    EXPECT_EQ(DecodeCallsign(header->callsignCode), "QRBL01");
    EXPECT_EQ(header->imageId, 1);
    EXPECT_EQ(header->packetId, 1);
    EXPECT_EQ(header->Width(), 320);
    EXPECT_EQ(header->Height(), 240);
    EXPECT_EQ(header->quality, 4);
    EXPECT_FALSE(header->endOfImage);
    EXPECT_EQ(header->mode, McuMode::k2x2);
    EXPECT_EQ(header->mcuOffset, 27);
    EXPECT_EQ(header->mcuIndex, 3);
    std::vector<uint8_t> written(15);
    WritePacketHeader(*header, written);
    EXPECT_EQ(written, bytes);
}

TEST(PacketHeaderTest, QualityAndFlagsByte) {
    struct Case {
        int quality;
        bool eoi;
        McuMode mode;
        uint8_t flags;
    };
    for (const Case& c :
         {Case{4, false, McuMode::k2x2, 0x00}, Case{7, false, McuMode::k2x2, 0x18},
          Case{0, false, McuMode::k2x2, 0x20}, Case{4, true, McuMode::k2x2, 0x04},
          Case{4, false, McuMode::k1x1, 0x03}, Case{1, true, McuMode::k2x1, 0x2E}}) {
        PacketHeader header;
        header.quality = c.quality;
        header.endOfImage = c.eoi;
        header.mode = c.mode;
        std::vector<uint8_t> bytes(15);
        WritePacketHeader(header, bytes);
        EXPECT_EQ(bytes[11], c.flags) << c.quality;
        const auto parsed = ParsePacketHeader(bytes);
        EXPECT_EQ(parsed->quality, c.quality);
        EXPECT_EQ(parsed->endOfImage, c.eoi);
        EXPECT_EQ(parsed->mode, c.mode);
    }
}

// A sealed no-FEC or FEC packet of length 118 with the given header tweaks.
std::vector<uint8_t> MakePacket(PacketType type, uint8_t width, uint16_t mcuIndex, uint8_t offset) {
    std::vector<uint8_t> packet(118, 0xA5);
    PacketHeader header;
    header.type = type;
    header.widthUnits = width;
    header.heightUnits = 2;
    header.mcuIndex = mcuIndex;
    header.mcuOffset = offset;
    WritePacketHeader(header, packet);
    SealPacket(type, packet);
    return packet;
}

TEST(ValidatePacketTest, HeaderSanityChecks) {
    struct Case {
        const char* what;
        PacketType type;
        uint8_t width;
        uint16_t index;
        uint8_t offset;
        bool valid;
    };
    // 2x2 units in mode 0 = 4 MCUs; FEC payload 67 bytes, no-FEC 99 bytes.
    for (const Case& c : {Case{"plain", PacketType::kFec, 2, 3, 66, true},
                          Case{"no MCU start", PacketType::kFec, 2, kNoMcuIndex, 0xFF, true},
                          Case{"zero width", PacketType::kFec, 0, kNoMcuIndex, 0xFF, false},
                          Case{"index past the image", PacketType::kFec, 2, 4, 0, false},
                          Case{"offset past the payload", PacketType::kFec, 2, 0, 67, false},
                          Case{"no-FEC offset", PacketType::kNoFec, 2, 0, 98, true},
                          Case{"no-FEC offset past", PacketType::kNoFec, 2, 0, 99, false}}) {
        EXPECT_EQ(ValidatePacket(MakePacket(c.type, c.width, c.index, c.offset)).has_value(),
                  c.valid)
            << c.what;
    }
}

TEST(ValidatePacketTest, SyncByteIgnoredTypeByteRepairedNoFecDamageRejected) {
    auto fec = MakePacket(PacketType::kFec, 2, 0, 0);
    fec[0] = 0x00;
    fec[1] = 0x13;  // damaged type byte: repaired by Reed-Solomon
    const auto repaired = ValidatePacket(fec);
    ASSERT_TRUE(repaired.has_value());
    EXPECT_EQ(repaired->bytes[0], kSyncByte);
    EXPECT_EQ(repaired->header.type, PacketType::kFec);
    EXPECT_EQ(repaired->payloadLength, 67U);

    auto noFec = MakePacket(PacketType::kNoFec, 2, 0, 0);
    EXPECT_TRUE(ValidatePacket(noFec).has_value());
    noFec[50] ^= 0x01;
    EXPECT_FALSE(ValidatePacket(noFec).has_value());
}

TEST(ValidatePacketTest, RejectsLengthsOutsideTheFormat) {
    EXPECT_FALSE(ValidatePacket(std::vector<uint8_t>(18, 0x55)).has_value());
    EXPECT_FALSE(ValidatePacket(std::vector<uint8_t>(257, 0x55)).has_value());
    // A 40-byte window is too short for a FEC packet: only the no-FEC layout can match.
    std::vector<uint8_t> shortPacket(40, 0);
    PacketHeader header;
    header.type = PacketType::kFec;
    header.widthUnits = header.heightUnits = 1;
    WritePacketHeader(header, shortPacket);
    EXPECT_FALSE(ValidatePacket(shortPacket).has_value());
    header.type = PacketType::kNoFec;
    WritePacketHeader(header, shortPacket);
    SealPacket(PacketType::kNoFec, shortPacket);
    EXPECT_TRUE(ValidatePacket(shortPacket).has_value());
}

}  // namespace
}  // namespace quorbel::ssdv
