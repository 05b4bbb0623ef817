// Decoding of a series of SSDV packets (a packet file or packets held in memory) into a JPEG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "packet.hpp"

namespace quorbel::ssdv {

struct ImageInfo {
    std::string callsign;
    std::uint8_t imageId = 0;
    int width = 0;
    int height = 0;
    int mcuCount = 0;
    McuMode mode = McuMode::H2V2;
    int quality = kDefaultQuality;
};

struct DecodeOptions {
    // Test aid: drop about this percentage of packet windows (std::rand, never seeded).
    int dropPercent = 0;
    // Adds two lines per valid packet, and a line where bytes were skipped, to `packetLog`.
    bool verbose = false;
};

struct DecodeResult {
    std::optional<ImageInfo> image;      // nothing when no valid packet was found
    std::vector<std::uint8_t> jpeg;      // empty when no valid packet was found
    std::size_t packetsRead = 0;         // packets that passed validation
    std::size_t packetsUsed = 0;         // packets whose payload went into the image
    bool complete = false;               // the last MCU came from received data
    std::vector<std::string> packetLog;  // per-packet lines (verbose) in file order
    std::vector<std::string> notes;      // gaps, ignored packets and other events
    std::string error;                   // set when nothing could be decoded
};

// Splits `data` into packets of `packetLength` bytes, sliding past damaged or foreign bytes.
std::vector<ValidatedPacket> FindPackets(std::span<const std::uint8_t> data,
                                         std::size_t packetLength,
                                         const DecodeOptions& options = {},
                                         std::vector<std::string>* packetLog = nullptr);

// Decodes every valid packet in `data`. The first valid packet defines the image; packets with
// another image ID, size, MCU mode or quality are ignored, the rest are taken in packet-ID order
// without duplicates, and packets after the image's last MCU are not used.
DecodeResult DecodeImage(std::span<const std::uint8_t> data, std::size_t packetLength,
                         const DecodeOptions& options = {});

// Smallest packet length the decoder accepts (a no-FEC packet with an empty payload).
inline constexpr std::size_t kMinDecodePacketLength = ComputeMinimumPacketLength(PacketType::NoFec);

}  // namespace quorbel::ssdv
