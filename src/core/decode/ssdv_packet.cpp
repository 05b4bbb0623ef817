// The SSDV packet of a frame and its listing.
#include "decode/ssdv_packet.hpp"

#include <algorithm>

namespace quorbel {
namespace {

// Frame positions of the header fields the listing shows.
constexpr int kImageIdPosition = 15;
constexpr int kPacketIdPosition = 16;
constexpr int kWidthPosition = 18;
constexpr int kHeightPosition = 19;
constexpr int kFlagsPosition = 20;
constexpr int kMcuOffsetPosition = 21;
constexpr int kMcuIndexPosition = 22;

}  // namespace

SsdvPacket ReadSsdvPacket(const FrameBuffer& buffer) {
    SsdvPacket packet;
    packet.imageId = ReadU8(buffer, kImageIdPosition);
    packet.packetId = static_cast<int>(ReadU16BE(buffer, kPacketIdPosition));
    packet.width = ReadU8(buffer, kWidthPosition) * 16;
    packet.height = ReadU8(buffer, kHeightPosition) * 16;
    packet.flags = ReadU8(buffer, kFlagsPosition);
    packet.mcuOffset = ReadU8(buffer, kMcuOffsetPosition);
    packet.mcuIndex = static_cast<int>(ReadU16BE(buffer, kMcuIndexPosition));
    std::copy_n(buffer.begin() + kSsdvPacketPosition, kSsdvPacketSize, packet.bytes.begin());
    return packet;
}

std::string ListSsdvPacket(const SsdvPacket& packet, const std::string& packetPath,
                           const std::string& imagePath) {
    std::string listing;
    const auto line = [&listing](const std::string& text) { listing += text + "\r\n"; };
    line("Image ID: " + std::to_string(packet.imageId));
    line("Packet ID: " + std::to_string(packet.packetId));
    line("Width:" + std::to_string(packet.width));
    line("Height:" + std::to_string(packet.height));
    line("Flags: " + std::to_string(packet.flags));
    line("MCU Offset: " + std::to_string(packet.mcuOffset));
    line("MCU Index: " + std::to_string(packet.mcuIndex));
    line(packetPath);
    line(imagePath);
    line("");
    return listing;
}

}  // namespace quorbel
