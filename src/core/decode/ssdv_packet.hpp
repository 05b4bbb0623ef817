// An SSDV packet as a frame of identifier 500 carries it: 118 bytes from frame position 9 on,
// stored and handed to the decoder as they stand, and the header fields the packet listing shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/frame_buffer.hpp"

namespace quorbel {

inline constexpr int kSsdvPacketPosition = 9;  // the packet's first byte, its sync byte
inline constexpr std::size_t kSsdvPacketSize = 118;
static_assert(FitsInFrameBuffer(kSsdvPacketPosition, static_cast<int>(kSsdvPacketSize)),
              "the SSDV packet reaches past the frame buffer");

using SsdvPacketBytes = std::array<std::uint8_t, kSsdvPacketSize>;

struct SsdvPacket {
    int imageId = 0;   // 0 to 255
    int packetId = 0;  // 0 to 65535
    int width = 0;     // pixels (the packet gives 16-pixel blocks)
    int height = 0;    // pixels
    int flags = 0;
    int mcuOffset = 0;
    int mcuIndex = 0;
    SsdvPacketBytes bytes{};
};

// The packet of the frame in the buffer. A frame shorter than 126 bytes leaves the buffer's
// older bytes in the packet's tail, as it does for every other kind.
SsdvPacket ReadSsdvPacket(const FrameBuffer& buffer);

// The ten lines (CR LF after each) that list the packet: its header fields, the packet file's and
// the image file's paths and an empty line.
std::string ListSsdvPacket(const SsdvPacket& packet, const std::string& packetPath,
                           const std::string& imagePath);

}  // namespace quorbel
