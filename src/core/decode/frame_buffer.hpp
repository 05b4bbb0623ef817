// The frame being decoded: 256 bytes indexed by frame position (1 to 255), never cleared between
// frames, and the readers that take big-endian values out of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

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

// A read that would leave the buffer: the decoder of that frame stops there.
struct FrameReadError {
    int position;
};

// Readers at frame position p. Positions outside the buffer throw FrameReadError, which the
// dispatch catches so that only the rest of that frame's decoding is abandoned.
int ReadU8(const FrameBuffer& buffer, int p);
int ReadS8(const FrameBuffer& buffer, int p);
double ReadU16BE(const FrameBuffer& buffer, int p);
double ReadS16BE(const FrameBuffer& buffer, int p);
double ReadU32BE(const FrameBuffer& buffer, int p);
double ReadS32BE(const FrameBuffer& buffer, int p);
float ReadF32BE(const FrameBuffer& buffer, int p);

inline constexpr const char* kStartAfterEndMessage =
    "Start record can not be greater then End record...!";

// Composes a number from bytes[first..last], least significant first; the element at `last` counts
// as signed unless unsignedTop. A `last` below 1 becomes the array's upper bound (and is written
// back). A first below 0 or above last shows the message and gives -1.
double BytesToValue(std::span<const std::uint8_t> bytes, int first, int& last, bool unsignedTop,
                    const std::function<void(const std::string&)>& showMessage);

}  // namespace quorbel
