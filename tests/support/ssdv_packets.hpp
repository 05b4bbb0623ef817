// SSDV packets as the satellite sends them, built from their header fields for the tests.
#pragma once

#include <cstdint>
#include <vector>

namespace quorbel::testing {

// A 118-byte packet of the given image and packet ID, 320 x 240 pixels, flags 3, MCU offset 9 and
// index 300; the rest marked with `fill` so that packets can be told apart in the files.
inline std::vector<std::uint8_t> MakeSsdvPacket(int imageId, int packetId,
                                                std::uint8_t fill = 0xA5) {
    std::vector<std::uint8_t> packet(118, fill);
    packet[0] = 0x55, packet[1] = 0x66;
    packet[6] = static_cast<std::uint8_t>(imageId);
    packet[7] = static_cast<std::uint8_t>(packetId >> 8);
    packet[8] = static_cast<std::uint8_t>(packetId);
    packet[9] = 20, packet[10] = 15, packet[11] = 0x03, packet[12] = 9;
    packet[13] = 0x01, packet[14] = 0x2C;
    return packet;
}

}  // namespace quorbel::testing
