// The field readers against literal bytes.
#include "decode/frame_buffer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorbel {
namespace {

FrameBuffer BufferWith(int position, std::vector<std::uint8_t> bytes) {
    FrameBuffer buffer{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        buffer[static_cast<std::size_t>(position) + i] = bytes[i];
    return buffer;
}

TEST(FrameBufferTest, IntegerReadersAreBigEndianAndExact) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        double u16, s16, u32, s32;
    };
    const Case cases[] = {
        {{0x80, 0x00, 0x00, 0x00}, 32768, -32768, 2147483648.0, -2147483648.0},
        {{0xFF, 0xFF, 0xFF, 0xFE}, 65535, -1, 4294967294.0, -2},
        {{0x7F, 0xFF, 0xFF, 0xFF}, 32767, 32767, 2147483647, 2147483647},
        {{0x12, 0x34, 0x56, 0x78}, 0x1234, 0x1234, 0x12345678, 0x12345678},
    };
    for (const Case& c : cases) {
        const FrameBuffer buffer = BufferWith(40, c.bytes);
        EXPECT_EQ(ReadU16BE(buffer, 40), c.u16);
        EXPECT_EQ(ReadS16BE(buffer, 40), c.s16);
        EXPECT_EQ(ReadU32BE(buffer, 40), c.u32);
        EXPECT_EQ(ReadS32BE(buffer, 40), c.s32);
    }
    const FrameBuffer bytes = BufferWith(1, {0x80, 0x7F});
    EXPECT_EQ(ReadU8(bytes, 1), 128);
    EXPECT_EQ(ReadS8(bytes, 1), -128);
    EXPECT_EQ(ReadU8(bytes, 2), 127);
    EXPECT_EQ(ReadS8(bytes, 2), 127);
}

TEST(FrameBufferTest, FloatReaderReinterpretsTheBits) {
    EXPECT_EQ(ReadF32BE(BufferWith(31, {0x3F, 0x80, 0x00, 0x00}), 31), 1.0f);
    EXPECT_EQ(ReadF32BE(BufferWith(31, {0xC0, 0x00, 0x00, 0x00}), 31), -2.0f);
    EXPECT_TRUE(std::isnan(ReadF32BE(BufferWith(31, {0x7F, 0xC0, 0x00, 0x00}), 31)));
    EXPECT_TRUE(std::isinf(ReadF32BE(BufferWith(31, {0xFF, 0x80, 0x00, 0x00}), 31)));
    // 0.15 as a single, widened without change: 0.150000005960464...
    EXPECT_EQ(static_cast<double>(ReadF32BE(BufferWith(31, {0x3E, 0x19, 0x99, 0x9A}), 31)),
              static_cast<double>(0.15f));
}

TEST(FrameBufferTest, OnlyReadsInsideTheBufferFit) {
    // The check every row of the field table passes at compile time.
    EXPECT_FALSE(FitsInFrameBuffer(-1, 1));
    EXPECT_FALSE(FitsInFrameBuffer(256, 1));
    EXPECT_FALSE(FitsInFrameBuffer(255, 2));
    EXPECT_FALSE(FitsInFrameBuffer(253, 4));
    EXPECT_TRUE(FitsInFrameBuffer(252, 4));
    EXPECT_TRUE(FitsInFrameBuffer(255, 1));
    EXPECT_EQ(ReadU32BE(BufferWith(252, {1, 2, 3, 4}), 252), 0x01020304);
    EXPECT_EQ(ReadU8(BufferWith(255, {9}), 255), 9);
}

}  // namespace
}  // namespace quorbel
