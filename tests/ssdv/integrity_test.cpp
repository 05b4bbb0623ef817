// CRC-32 and Reed-Solomon against the worked examples and the FEC packets of the vectors.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "crc32.hpp"
#include "packet.hpp"
#include "reed_solomon.hpp"
#include "ssdv_test_support.hpp"

namespace quorbel::ssdv {
namespace {

constexpr std::array<uint8_t, 33> kGenerator = {
    0x01, 0x5B, 0x7F, 0x56, 0x10, 0x1E, 0x0D, 0xEB, 0x61, 0xA5, 0x08,
    0x2A, 0x36, 0x56, 0xAB, 0x20, 0x71, 0x20, 0xAB, 0x56, 0x36, 0x2A,
    0x08, 0xA5, 0x61, 0xEB, 0x0D, 0x1E, 0x10, 0x56, 0x7F, 0x5B, 0x01};

TEST(Crc32Test, CheckValueOfDigits) {
    const std::string digits = "123456789";
    EXPECT_EQ(ComputeCrc32({reinterpret_cast<const uint8_t*>(digits.data()), digits.size()}),
              0xCBF43926U);
    EXPECT_EQ(ComputeCrc32({}), 0U);
}

TEST(Crc32Test, FirstPacketsOfVectors) {
    QUORBEL_REQUIRE_VECTORS(dir);
    struct Case {
        const char* file;
        size_t covered;
        uint32_t crc;
    };
    for (const Case& c : {Case{"grad320x240-l118.bin", 81, 0x7803084FU},
                          Case{"grad320x240-l118-nofec.bin", 113, 0xEC93E4FDU},
                          Case{"tiny16x16-l118.bin", 81, 0x96ADE247U}}) {
        const auto bytes = test::ReadBytes(dir / c.file);
        ASSERT_GE(bytes.size(), 118U) << c.file;
        EXPECT_EQ(ComputeCrc32(std::span(bytes).subspan(1, c.covered)), c.crc) << c.file;
    }
}

TEST(ReedSolomonTest, GeneratorAndParityExample) {
    const auto generator = ReedSolomonGenerator();
    EXPECT_TRUE(std::equal(generator.begin(), generator.end(), kGenerator.begin()));
    // 85 data symbols 00 ... 00 01 give the generator's low coefficients as parity.
    std::array<uint8_t, 85> data{};
    data.back() = 0x01;
    std::array<uint8_t, 32> parity{};
    ComputeReedSolomonParity(data, parity);
    EXPECT_TRUE(std::equal(parity.begin(), parity.end(), kGenerator.begin() + 1));
}

TEST(ReedSolomonTest, VectorPacketsAreCodewords) {
    QUORBEL_REQUIRE_VECTORS(dir);
    for (const char* name : {"grad320x240-l118.bin", "small128x96-l256.bin"}) {
        const auto bytes = test::ReadBytes(dir / name);
        const size_t length = std::string(name).find("l256") != std::string::npos ? 256 : 118;
        ASSERT_EQ(bytes.size() % length, 0U);
        for (size_t at = 0; at < bytes.size(); at += length) {
            std::vector<uint8_t> codeword(bytes.begin() + at + 1, bytes.begin() + at + length);
            EXPECT_EQ(RepairReedSolomon(codeword), 0) << name << " packet " << at / length;
            std::array<uint8_t, 32> parity{};
            ComputeReedSolomonParity(std::span(codeword).first(length - 33), parity);
            EXPECT_TRUE(std::equal(parity.begin(), parity.end(), codeword.end() - 32));
        }
    }
}

// Damages `count` distinct bytes among offsets 2..L-1 of a valid packet. (A damaged type byte at
// offset 1 is reset to 0x66 before the repair and so does not count against the 16.)
std::vector<uint8_t> Damage(std::vector<uint8_t> packet, int count, std::mt19937& random) {
    std::vector<size_t> offsets;
    for (size_t i = 2; i < packet.size(); ++i) {
        offsets.push_back(i);
    }
    std::shuffle(offsets.begin(), offsets.end(), random);
    for (int i = 0; i < count; ++i) {
        packet[offsets[static_cast<size_t>(i)]] ^= static_cast<uint8_t>(1 + random() % 255);
    }
    return packet;
}

TEST(ReedSolomonTest, RepairsSixteenBytesAndRejectsSeventeen) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto bytes = test::ReadBytes(dir / "grad320x240-l118.bin");
    std::mt19937 random(7);
    for (size_t index : {0U, 30U, 83U}) {
        const std::vector<uint8_t> packet(bytes.begin() + index * 118,
                                          bytes.begin() + (index + 1) * 118);
        for (int trial = 0; trial < 20; ++trial) {
            const auto repairable = Damage(packet, 16, random);
            const auto repaired = ValidatePacket(repairable);
            ASSERT_TRUE(repaired.has_value()) << "packet " << index << " trial " << trial;
            EXPECT_EQ(repaired->correctedSymbols, 16);
            EXPECT_TRUE(std::equal(packet.begin() + 1, packet.end(), repaired->bytes.begin() + 1));
            EXPECT_FALSE(ValidatePacket(Damage(packet, 17, random)).has_value());
        }
    }
}

}  // namespace
}  // namespace quorbel::ssdv
