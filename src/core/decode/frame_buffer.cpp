// Field readers over the frame buffer: big-endian integers and IEEE-754 singles, bit-exact on any
// host byte order.
#include "decode/frame_buffer.hpp"

#include <bit>

namespace quorbel {

int ReadU8(const FrameBuffer& buffer, int p) {
    assert(FitsInFrameBuffer(p, 1));
    return buffer[static_cast<std::size_t>(p)];
}

int ReadS8(const FrameBuffer& buffer, int p) {
    const int byte = ReadU8(buffer, p);
    return byte < 128 ? byte : byte - 256;
}

double ReadU16BE(const FrameBuffer& buffer, int p) {
    return ReadBits16(buffer, p);
}

double ReadS16BE(const FrameBuffer& buffer, int p) {
    return static_cast<std::int16_t>(ReadBits16(buffer, p));
}

double ReadU32BE(const FrameBuffer& buffer, int p) {
    return ReadBits32(buffer, p);
}

double ReadS32BE(const FrameBuffer& buffer, int p) {
    return static_cast<std::int32_t>(ReadBits32(buffer, p));
}

float ReadF32BE(const FrameBuffer& buffer, int p) {
    return std::bit_cast<float>(ReadBits32(buffer, p));
}

}  // namespace quorbel
