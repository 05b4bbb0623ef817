// Field readers over the frame buffer: big-endian integers and IEEE-754 singles, bit-exact on any
// host byte order.
#include "decode/frame_buffer.hpp"

#include <bit>
#include <cstdint>

namespace quorbel {
namespace {

// Checks that the `width` bytes starting at p lie inside the buffer.
void CheckRange(int p, int width) {
    if (p < 0 || p + width - 1 >= kFrameBufferSize)
        throw FrameReadError{p};
}

std::uint32_t ReadBits32(const FrameBuffer& buffer, int p) {
    CheckRange(p, 4);
    const auto i = static_cast<std::size_t>(p);
    return (std::uint32_t{buffer[i]} << 24) | (std::uint32_t{buffer[i + 1]} << 16) |
           (std::uint32_t{buffer[i + 2]} << 8) | std::uint32_t{buffer[i + 3]};
}

std::uint16_t ReadBits16(const FrameBuffer& buffer, int p) {
    CheckRange(p, 2);
    const auto i = static_cast<std::size_t>(p);
    return static_cast<std::uint16_t>((buffer[i] << 8) | buffer[i + 1]);
}

}  // namespace

int ReadU8(const FrameBuffer& buffer, int p) {
    CheckRange(p, 1);
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

double BytesToValue(std::span<const std::uint8_t> bytes, int first, int& last, bool unsignedTop,
                    const std::function<void(const std::string&)>& showMessage) {
    if (last < 1)
        last = static_cast<int>(bytes.size()) - 1;
    if (first < 0 || first > last || last >= static_cast<int>(bytes.size())) {
        if (showMessage)
            showMessage(kStartAfterEndMessage);
        return -1;
    }
    double value = bytes[static_cast<std::size_t>(first)];
    double multiplier = 1;
    for (int i = first + 1; i <= last; ++i) {
        multiplier *= 256;
        int element = bytes[static_cast<std::size_t>(i)];
        if (i == last && !unsignedTop && element >= 128)
            element -= 256;
        value += element * multiplier;
    }
    return value;
}

}  // namespace quorbel
