// Encoding of a baseline JPEG image into a series of SSDV packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "packet.hpp"

namespace quorbel::ssdv {

struct EncodeOptions {
    PacketType type = PacketType::Fec;
    std::string callsign;
    std::uint8_t imageId = 0;
    int quality = kDefaultQuality;  // 0-7
    std::size_t packetLength = kDefaultPacketLength;
};

struct EncodeResult {
    bool ok = false;
    std::string error;
    std::vector<std::uint8_t> packets;  // packetCount packets of packetLength bytes
    std::size_t packetCount = 0;
    std::vector<std::string> log;  // what was found in the JPEG
};

// Smallest packet length the encoder accepts for a type (a payload of at least 2 bytes).
std::size_t ComputeMinimumEncodeLength(PacketType type);

// Transcodes the JPEG's scan into SSDV packets. Restart markers in the source are handled at
// their position in the scan. Fails on unsupported or damaged images.
EncodeResult EncodeImage(std::span<const std::uint8_t> jpeg, const EncodeOptions& options);

}  // namespace quorbel::ssdv
