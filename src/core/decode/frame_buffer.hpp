// The frame being decoded: 256 bytes indexed by frame position (1 to 255), never cleared between
// frames, and the readers that take big-endian values out of it, bit-exact on any host byte order.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <string>

#include "decode/field_table.hpp"

namespace quorbel {

inline constexpr int kFrameBufferSize = 256;
using FrameBuffer = std::array<std::uint8_t, kFrameBufferSize>;

// The shared values one dispatch writes and the decoders read.
struct FrameState {
    FrameBuffer buffer{};    // byte at frame position k held at index k; index 0 unused
    std::string hexText;     // the frame as hexadecimal text (FrameHexText)
    std::string rxTimeText;  // receive time of the frame (RxTimeText)
    int spacecraftId = 0;    // of the last dispatched frame
    int packetApid = 0;      // of the last dispatched frame
};

// True when the `width` bytes from frame position p lie inside the buffer.
constexpr bool FitsInFrameBuffer(int p, int width) {
    return p >= 0 && p + width <= kFrameBufferSize;
}

// Every field of the table is read at a fixed position; none reaches past the buffer, so the
// readers below never leave it.
constexpr bool AllFieldsFitInFrameBuffer() {
    for (const FieldDef& field : kFields) {
        if (!FitsInFrameBuffer(field.position, ReaderWidth(field.reader)))
            return false;
    }
    return true;
}
static_assert(AllFieldsFitInFrameBuffer(), "a field of the table reads past the frame buffer");

// Readers at frame position p. The positions are the decoders' fixed ones (checked above for the
// field table), so p and the bytes after it always lie inside the buffer.
constexpr std::uint32_t ReadBits32(const FrameBuffer& buffer, int p) {
    assert(FitsInFrameBuffer(p, 4));
    const auto i = static_cast<std::size_t>(p);
    return (std::uint32_t{buffer[i]} << 24) | (std::uint32_t{buffer[i + 1]} << 16) |
           (std::uint32_t{buffer[i + 2]} << 8) | std::uint32_t{buffer[i + 3]};
}
constexpr std::uint16_t ReadBits16(const FrameBuffer& buffer, int p) {
    assert(FitsInFrameBuffer(p, 2));
    const auto i = static_cast<std::size_t>(p);
    return static_cast<std::uint16_t>((buffer[i] << 8) | buffer[i + 1]);
}

// Every field of every frame goes through them, so they live here where they inline.
constexpr int ReadU8(const FrameBuffer& buffer, int p) {
    assert(FitsInFrameBuffer(p, 1));
    return buffer[static_cast<std::size_t>(p)];
}
constexpr int ReadS8(const FrameBuffer& buffer, int p) {
    const int byte = ReadU8(buffer, p);
    return byte < 128 ? byte : byte - 256;
}
constexpr double ReadU16BE(const FrameBuffer& buffer, int p) {
    return ReadBits16(buffer, p);
}
constexpr double ReadS16BE(const FrameBuffer& buffer, int p) {
    return static_cast<std::int16_t>(ReadBits16(buffer, p));
}
constexpr double ReadU32BE(const FrameBuffer& buffer, int p) {
    return ReadBits32(buffer, p);
}
constexpr double ReadS32BE(const FrameBuffer& buffer, int p) {
    return static_cast<std::int32_t>(ReadBits32(buffer, p));
}
// IEEE-754 single precision, bit-exact on any host byte order.
constexpr float ReadF32BE(const FrameBuffer& buffer, int p) {
    return std::bit_cast<float>(ReadBits32(buffer, p));
}

}  // namespace quorbel
