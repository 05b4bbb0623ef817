// SSDV packet layout: header fields, callsign code, validation with CRC and Reed-Solomon repair.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorbel::ssdv {

inline constexpr std::size_t kHeaderSize = 15;
inline constexpr std::size_t kCrcSize = 4;
inline constexpr std::size_t kParitySize = 32;
inline constexpr std::size_t kMaxPacketLength = 256;
inline constexpr std::size_t kDefaultPacketLength = 256;
inline constexpr std::uint8_t kSyncByte = 0x55;
inline constexpr std::uint16_t kNoMcuIndex = 0xFFFF;
inline constexpr std::uint8_t kNoMcuOffset = 0xFF;
inline constexpr int kDefaultQuality = 4;

// The type byte: with Reed-Solomon parity (Fec) or without (NoFec).
enum class PacketType : std::uint8_t { Fec = 0x66, NoFec = 0x67 };

// Luma sampling of the image, horizontal and vertical factors (H2V2: 2x2, an MCU of 16x16
// pixels); chroma is always one block per MCU.
enum class McuMode : std::uint8_t { H2V2 = 0, H1V2 = 1, H2V1 = 2, H1V1 = 3 };

// Smallest packet length that leaves a non-negative payload for the type.
constexpr std::size_t ComputeMinimumPacketLength(PacketType type) {
    return kHeaderSize + kCrcSize + (type == PacketType::Fec ? kParitySize : 0);
}

// Payload bytes in a packet of the given type and length, or nothing if the length is too small
// or above 256.
std::optional<std::size_t> ComputePayloadLength(PacketType type, std::size_t packetLength);

int CountLumaBlocks(McuMode mode);
// Number of MCUs of an image given in 16-pixel units.
int CountMcus(int widthUnits, int heightUnits, McuMode mode);

struct PacketHeader {
    PacketType type = PacketType::Fec;
    std::uint32_t callsignCode = 0;
    std::uint8_t imageId = 0;
    std::uint16_t packetId = 0;
    std::uint8_t widthUnits = 0;   // width / 16
    std::uint8_t heightUnits = 0;  // height / 16
    int quality = kDefaultQuality;
    bool endOfImage = false;
    McuMode mode = McuMode::H2V2;
    std::uint8_t mcuOffset = kNoMcuOffset;
    std::uint16_t mcuIndex = kNoMcuIndex;

    int Width() const { return widthUnits * 16; }
    int Height() const { return heightUnits * 16; }
    int McuCount() const { return CountMcus(widthUnits, heightUnits, mode); }
    bool HasMcuStart() const { return mcuIndex != kNoMcuIndex; }
};

// Reads the 15 header bytes without any check beyond the type byte (nothing if the span is
// shorter than a header or the type byte is unknown).
std::optional<PacketHeader> ParsePacketHeader(std::span<const std::uint8_t> bytes);

// Writes the 15 header bytes (sync byte included) into the start of `packet`.
void WritePacketHeader(const PacketHeader& header, std::span<std::uint8_t> packet);

// Stores the CRC and, for type 0x66, the Reed-Solomon parity of a packet whose header and
// payload are filled in. `packet` spans the whole packet.
void SealPacket(PacketType type, std::span<std::uint8_t> packet);

// Packs up to six characters into the base-40 callsign code (longer input is cut).
std::uint32_t EncodeCallsign(std::string_view callsign);
// Unpacks a callsign code; codes above the largest six-character value give "".
std::string DecodeCallsign(std::uint32_t code);

struct ValidatedPacket {
    PacketHeader header;
    std::array<std::uint8_t, kMaxPacketLength> bytes{};  // corrected copy, sync 0x55
    std::size_t length = 0;
    std::size_t payloadLength = 0;
    int correctedSymbols = 0;

    std::span<const std::uint8_t> Payload() const {
        return std::span<const std::uint8_t>(bytes).subspan(kHeaderSize, payloadLength);
    }
};

// Checks one window of exactly the packet length: CRC for either type, Reed-Solomon repair of
// type 0x66, then header sanity (size non-zero, MCU index and offset in range). The sync byte is
// not checked. Returns the corrected packet or nothing.
std::optional<ValidatedPacket> ValidatePacket(std::span<const std::uint8_t> window);

}  // namespace quorbel::ssdv
