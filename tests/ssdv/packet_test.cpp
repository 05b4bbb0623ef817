// Packet integrity: callsign code, payload lengths, the checks on a packet window, and CRC-32 and
// Reed-Solomon against the worked examples with the repair limit of 16 damaged bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <numeric>
#include <random>
#include <string_view>
#include <tuple>
#include <vector>

#include "crc32.hpp"
#include "packet.hpp"
#include "reed_solomon.hpp"
#include "ssdv_test_support.hpp"

namespace quorbel::ssdv {
namespace {

// The callsign alphabet by base-40 digit value: digit 0 and the unused digits 11 to 13 decode as
// '-', 1 to 10 are '0' to '9', 14 to 39 are 'A' to 'Z'.
constexpr std::string_view kCallsignAlphabet = "-0123456789---ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Every digit value alone (the first character is the least significant digit), lower case as
// upper case, then callsigns that put every character in some position, cropped, blank or spaced.
TEST(CallsignTest, EncodesAndDecodesEveryCharacterOfTheAlphabet) {
    for (std::uint32_t digit = 1; digit < 40; ++digit) {
        const char ch = kCallsignAlphabet[digit];
        EXPECT_EQ(DecodeCallsign(digit), std::string(1, ch)) << "digit " << digit;
        if (ch == '-')
            continue;
        EXPECT_EQ(EncodeCallsign(std::string(1, ch)), digit) << ch;
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(EncodeCallsign(std::string(1, lower)), digit) << lower;
    }
    for (const auto& [text, code, decoded] :
         {std::tuple{"QRBL01", 0x0C74DCB6U, "QRBL01"}, std::tuple{"AB1", 0x00000EE6U, "AB1"},
          std::tuple{"012345", 0x25664B11U, "012345"}, std::tuple{"6789AB", 0x5DBA5D87U, "6789AB"},
          std::tuple{"CDEFGH", 0x834CC138U, "CDEFGH"}, std::tuple{"IJKLMN", 0xA8DC23AEU, "IJKLMN"},
          std::tuple{"OPQRST", 0xCE6B8624U, "OPQRST"}, std::tuple{"UVWXYZ", 0xF3FAE89AU, "UVWXYZ"},
          std::tuple{"uvwxyz", 0xF3FAE89AU, "UVWXYZ"}, std::tuple{"000000", 0x06429069U, "000000"},
          std::tuple{"999999", 0x3E99A41AU, "999999"}, std::tuple{"ZZZZZZ", 0xF423FFFFU, "ZZZZZZ"},
          std::tuple{"", 0U, ""}, std::tuple{"A B", EncodeCallsign("A B"), "A-B"},
          std::tuple{"QRBL01XYZ", 0x0C74DCB6U, "QRBL01"}, std::tuple{"AB  ", 0x266U, "AB"}}) {
        EXPECT_EQ(EncodeCallsign(text), code) << text;
        EXPECT_EQ(DecodeCallsign(code), decoded) << text;
    }
    EXPECT_EQ(DecodeCallsign(0xF4240000U), "");  // above the largest six-character code
}

TEST(PacketLayoutTest, PayloadLengths) {
    EXPECT_EQ(ComputePayloadLength(PacketType::Fec, 118), 67U);
    EXPECT_EQ(ComputePayloadLength(PacketType::NoFec, 118), 99U);
    EXPECT_EQ(ComputePayloadLength(PacketType::Fec, 256), 205U);
    EXPECT_EQ(ComputePayloadLength(PacketType::NoFec, 256), 237U);
    EXPECT_EQ(ComputePayloadLength(PacketType::Fec, 51), 0U);
    EXPECT_FALSE(ComputePayloadLength(PacketType::Fec, 50).has_value());
    EXPECT_FALSE(ComputePayloadLength(PacketType::NoFec, 18).has_value());
    EXPECT_FALSE(ComputePayloadLength(PacketType::NoFec, 257).has_value());
}

// A sealed no-FEC or FEC packet with the given header tweaks.
std::vector<std::uint8_t> MakePacket(PacketType type, std::uint8_t width, std::uint16_t mcuIndex,
                                     std::uint8_t offset, std::size_t length = 118) {
    std::vector<std::uint8_t> packet(length, 0xA5);
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

TEST(ValidatePacketTest, HeaderChecksRepairAndLengths) {
    struct Case {
        const char* what;
        PacketType type;
        std::uint8_t width;
        std::uint16_t index;
        std::uint8_t offset;
        bool valid;
    };
    // 2x2 units in mode 0 = 4 MCUs; FEC payload 67 bytes, no-FEC 99 bytes.
    for (const Case& c : {Case{"plain", PacketType::Fec, 2, 3, 66, true},
                          Case{"no MCU start", PacketType::Fec, 2, kNoMcuIndex, 0xFF, true},
                          Case{"zero width", PacketType::Fec, 0, kNoMcuIndex, 0xFF, false},
                          Case{"index past the image", PacketType::Fec, 2, 4, 0, false},
                          Case{"offset past the payload", PacketType::Fec, 2, 0, 67, false},
                          Case{"no-FEC offset", PacketType::NoFec, 2, 0, 98, true},
                          Case{"no-FEC offset past", PacketType::NoFec, 2, 0, 99, false}}) {
        EXPECT_EQ(ValidatePacket(MakePacket(c.type, c.width, c.index, c.offset)).has_value(),
                  c.valid)
            << c.what;
    }
    // The sync byte is ignored, a damaged type byte is repaired by Reed-Solomon.
    auto fec = MakePacket(PacketType::Fec, 2, 0, 0);
    fec[0] = 0x00;
    fec[1] = 0x13;
    const auto repaired = ValidatePacket(fec);
    ASSERT_TRUE(repaired.has_value());
    EXPECT_EQ(repaired->bytes[0], kSyncByte);
    EXPECT_EQ(repaired->header.type, PacketType::Fec);
    EXPECT_EQ(repaired->payloadLength, 67U);

    auto noFec = MakePacket(PacketType::NoFec, 2, 0, 0);
    EXPECT_TRUE(ValidatePacket(noFec).has_value());
    noFec[50] ^= 0x01;
    EXPECT_FALSE(ValidatePacket(noFec).has_value());
    EXPECT_FALSE(ValidatePacket(std::vector<std::uint8_t>(18, 0x55)).has_value());
    EXPECT_FALSE(ValidatePacket(std::vector<std::uint8_t>(257, 0x55)).has_value());
    // A 40-byte window is too short for a FEC packet: only the no-FEC layout can match.
    auto shortPacket = MakePacket(PacketType::NoFec, 1, kNoMcuIndex, 0xFF, 40);
    EXPECT_TRUE(ValidatePacket(shortPacket).has_value());
    shortPacket[1] = static_cast<std::uint8_t>(PacketType::Fec);
    EXPECT_FALSE(ValidatePacket(shortPacket).has_value());
}

TEST(Crc32Test, WorkedExamples) {
    const std::string digits = "123456789";
    EXPECT_EQ(ComputeCrc32({reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()}),
              0xCBF43926U);
    EXPECT_EQ(ComputeCrc32({}), 0U);
    QUORBEL_REQUIRE_VECTORS(dir);
    // Bytes 1..covered of the first packet.
    for (const auto& [file, covered, crc] :
         {std::tuple{"grad320x240-l118.bin", 81U, 0x7803084FU},
          std::tuple{"grad320x240-l118-nofec.bin", 113U, 0xEC93E4FDU},
          std::tuple{"tiny16x16-l118.bin", 81U, 0x96ADE247U}}) {
        const auto bytes = test::ReadBytes(dir / file);
        ASSERT_GE(bytes.size(), 118U) << file;
        EXPECT_EQ(ComputeCrc32(std::span(bytes).subspan(1, covered)), crc) << file;
    }
}

// Damages `count` distinct bytes among offsets 2..L-1 of a valid packet. (A damaged type byte at
// offset 1 is reset to 0x66 before the repair and so does not count against the 16.)
std::vector<std::uint8_t> Damage(std::vector<std::uint8_t> packet, int count,
                                 std::mt19937& random) {
    std::vector<std::size_t> offsets(packet.size() - 2);
    std::iota(offsets.begin(), offsets.end(), 2);
    std::shuffle(offsets.begin(), offsets.end(), random);
    for (int i = 0; i < count; ++i) {
        packet[offsets[static_cast<std::size_t>(i)]] ^=
            static_cast<std::uint8_t>(1 + random() % 255);
    }
    return packet;
}

TEST(ReedSolomonTest, WorkedExampleAndRepairLimit) {
    constexpr std::array<std::uint8_t, 33> kGenerator = {
        0x01, 0x5B, 0x7F, 0x56, 0x10, 0x1E, 0x0D, 0xEB, 0x61, 0xA5, 0x08,
        0x2A, 0x36, 0x56, 0xAB, 0x20, 0x71, 0x20, 0xAB, 0x56, 0x36, 0x2A,
        0x08, 0xA5, 0x61, 0xEB, 0x0D, 0x1E, 0x10, 0x56, 0x7F, 0x5B, 0x01};
    const auto generator = ListGeneratorCoefficients();
    EXPECT_TRUE(std::equal(generator.begin(), generator.end(), kGenerator.begin()));
    // 85 data symbols 00 ... 00 01 give the generator's low coefficients as parity.
    std::array<std::uint8_t, 85> data{};
    data.back() = 0x01;
    std::array<std::uint8_t, 32> parity{};
    ComputeReedSolomonParity(data, parity);
    EXPECT_TRUE(std::equal(parity.begin(), parity.end(), kGenerator.begin() + 1));

    QUORBEL_REQUIRE_VECTORS(dir);
    const auto bytes = test::ReadBytes(dir / "grad320x240-l118.bin");
    std::mt19937 random(7);
    for (std::size_t index : {0U, 30U, 83U}) {
        const std::vector<std::uint8_t> packet(bytes.begin() + index * 118,
                                               bytes.begin() + (index + 1) * 118);
        for (int trial = 0; trial < 20; ++trial) {
            const auto repaired = ValidatePacket(Damage(packet, 16, random));
            ASSERT_TRUE(repaired.has_value()) << "packet " << index << " trial " << trial;
            EXPECT_EQ(repaired->correctedSymbols, 16);
            EXPECT_TRUE(std::equal(packet.begin() + 1, packet.end(), repaired->bytes.begin() + 1));
            EXPECT_FALSE(ValidatePacket(Damage(packet, 17, random)).has_value());
        }
    }
}

// A shortened codeword stands for a full one with leading zeros. An error located among those
// zeros (here right before the first symbol, at the codeword's own length) is left out: the
// repair writes nothing outside the codeword, whether it has vector instructions or not.
TEST(ReedSolomonTest, AnErrorBeforeTheShortenedCodewordIsLeftOut) {
    for (const std::size_t dataLength : {std::size_t{1}, std::size_t{85}, std::size_t{222}}) {
        // A codeword one symbol longer, its first symbol not zero; the repair is given the rest.
        std::vector<std::uint8_t> word(dataLength + 1 + kRsParitySymbols);
        for (std::size_t i = 0; i <= dataLength; ++i)
            word[i] = static_cast<std::uint8_t>(0x66 + 3 * i);
        ComputeReedSolomonParity(std::span(word).first(dataLength + 1),
                                 std::span<std::uint8_t, kRsParitySymbols>(
                                     word.data() + dataLength + 1, kRsParitySymbols));
        for (const bool withTables : {false, true}) {
            for (const bool alsoDamaged : {false, true}) {
                std::vector<std::uint8_t> buffer = word;  // buffer[0] lies before the codeword
                const std::span<std::uint8_t> codeword = std::span(buffer).subspan(1);
                if (alsoDamaged)
                    codeword[codeword.size() / 2] ^= 0x5A;
                const auto repaired = withTables ? RepairReedSolomonWithTables(codeword)
                                                 : RepairReedSolomon(codeword);
                EXPECT_EQ(repaired, alsoDamaged ? 1 : 0) << dataLength << " " << withTables;
                EXPECT_EQ(buffer[0], word[0]) << "the symbol before the codeword";
                EXPECT_TRUE(buffer == word)
                    << dataLength << " " << withTables << " " << alsoDamaged;
            }
        }
    }
}

// The repair with the processor's vector instructions gives what the table code gives, on
// codewords of every length with 0 to 22 damaged symbols and on random bytes (a damaged stream's
// windows), both in what it returns and in the bytes it repairs.
TEST(ReedSolomonTest, VectorAndTableRepairsAgree) {
    std::mt19937 random(11);
    int repaired = 0;
    int refused = 0;
    for (int trial = 0; trial < 6000; ++trial) {
        const std::size_t dataLength = 1 + random() % 223;
        std::vector<std::uint8_t> word(dataLength + kRsParitySymbols);
        for (std::size_t i = 0; i < dataLength; ++i)
            word[i] = static_cast<std::uint8_t>(random());
        if (trial % 4 != 0) {  // a codeword, damaged; else random bytes throughout
            ComputeReedSolomonParity(std::span(word).first(dataLength),
                                     std::span<std::uint8_t, kRsParitySymbols>(
                                         word.data() + dataLength, kRsParitySymbols));
            const int damaged = static_cast<int>(random() % 23);
            for (int i = 0; i < damaged; ++i)
                word[random() % word.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
        } else {
            for (std::size_t i = dataLength; i < word.size(); ++i)
                word[i] = static_cast<std::uint8_t>(random());
        }
        std::vector<std::uint8_t> byVector = word;
        std::vector<std::uint8_t> byTables = word;
        const auto vectorResult = RepairReedSolomon(byVector);
        const auto tableResult = RepairReedSolomonWithTables(byTables);
        ASSERT_EQ(vectorResult, tableResult) << "trial " << trial;
        ASSERT_EQ(byVector, byTables) << "trial " << trial;
        ++(vectorResult.has_value() && *vectorResult > 0 ? repaired : refused);
    }
    // Both outcomes are exercised many times.
    EXPECT_GT(repaired, 2000);
    EXPECT_GT(refused, 2000);
}

}  // namespace
}  // namespace quorbel::ssdv
