// Packet header coding, callsign code and the validation of received packet windows.
#include "packet.hpp"

#include <algorithm>

#include "crc32.hpp"
#include "reed_solomon.hpp"

namespace quorbel::ssdv {
namespace {

constexpr std::uint32_t kLargestCallsignCode = 0xF423FFFFU;

std::uint32_t ReadU32BE(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}

void WriteU32BE(std::uint32_t value, std::span<std::uint8_t> bytes, std::size_t at) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

bool HasValidCrc(std::span<const std::uint8_t> packet, std::size_t payloadLength) {
    const std::size_t covered = kHeaderSize - 1 + payloadLength;
    const std::uint32_t crc = ComputeCrc32(packet.subspan(1, covered));
    return crc == ReadU32BE(packet, 1 + covered);
}

int EncodeCallsignCharacter(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0' + 1;
    }
    if (ch >= 'A' && ch <= 'Z') {
        return ch - 'A' + 14;
    }
    if (ch >= 'a' && ch <= 'z') {
        return ch - 'a' + 14;
    }
    return 0;
}

// Whether an MCU holds two luma blocks side by side (16 pixels wide), or one above the other (16
// pixels high).
bool HasTwoLumaColumns(McuMode mode) {
    return mode == McuMode::H2V2 || mode == McuMode::H2V1;
}

bool HasTwoLumaRows(McuMode mode) {
    return mode == McuMode::H2V2 || mode == McuMode::H1V2;
}

bool IsHeaderSane(const PacketHeader& header, std::size_t payloadLength) {
    if (header.widthUnits == 0 || header.heightUnits == 0) {
        return false;
    }
    if (!header.HasMcuStart()) {
        return true;
    }
    return header.mcuIndex < header.McuCount() && header.mcuOffset < payloadLength;
}

}  // namespace

std::optional<std::size_t> ComputePayloadLength(PacketType type, std::size_t packetLength) {
    const std::size_t minimum = ComputeMinimumPacketLength(type);
    if (packetLength < minimum || packetLength > kMaxPacketLength) {
        return std::nullopt;
    }
    return packetLength - minimum;
}

int CountLumaBlocks(McuMode mode) {
    return (HasTwoLumaColumns(mode) ? 2 : 1) * (HasTwoLumaRows(mode) ? 2 : 1);
}

// A 16-pixel unit holds one MCU across where the MCU is 16 pixels wide, two where it is 8; the
// same down.
int CountMcus(int widthUnits, int heightUnits, McuMode mode) {
    return (HasTwoLumaColumns(mode) ? widthUnits : 2 * widthUnits) *
           (HasTwoLumaRows(mode) ? heightUnits : 2 * heightUnits);
}

std::optional<PacketHeader> ParsePacketHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    PacketHeader header;
    if (bytes[1] == static_cast<std::uint8_t>(PacketType::Fec)) {
        header.type = PacketType::Fec;
    } else if (bytes[1] == static_cast<std::uint8_t>(PacketType::NoFec)) {
        header.type = PacketType::NoFec;
    } else {
        return std::nullopt;
    }
    header.callsignCode = ReadU32BE(bytes, 2);
    header.imageId = bytes[6];
    header.packetId = static_cast<std::uint16_t>((bytes[7] << 8) | bytes[8]);
    header.widthUnits = bytes[9];
    header.heightUnits = bytes[10];
    header.quality = ((bytes[11] >> 3) & 7) ^ 4;
    header.endOfImage = (bytes[11] & 0x04) != 0;
    header.mode = static_cast<McuMode>(bytes[11] & 0x03);
    header.mcuOffset = bytes[12];
    header.mcuIndex = static_cast<std::uint16_t>((bytes[13] << 8) | bytes[14]);
    return header;
}

void WritePacketHeader(const PacketHeader& header, std::span<std::uint8_t> packet) {
    packet[0] = kSyncByte;
    packet[1] = static_cast<std::uint8_t>(header.type);
    WriteU32BE(header.callsignCode, packet, 2);
    packet[6] = header.imageId;
    packet[7] = static_cast<std::uint8_t>(header.packetId >> 8);
    packet[8] = static_cast<std::uint8_t>(header.packetId & 0xFF);
    packet[9] = header.widthUnits;
    packet[10] = header.heightUnits;
    const int qualityCode = (std::clamp(header.quality, 0, 7) ^ 4) & 7;
    packet[11] = static_cast<std::uint8_t>((qualityCode << 3) | (header.endOfImage ? 0x04 : 0) |
                                           static_cast<int>(header.mode));
    packet[12] = header.mcuOffset;
    packet[13] = static_cast<std::uint8_t>(header.mcuIndex >> 8);
    packet[14] = static_cast<std::uint8_t>(header.mcuIndex & 0xFF);
}

void SealPacket(PacketType type, std::span<std::uint8_t> packet) {
    const std::size_t payloadLength = ComputePayloadLength(type, packet.size()).value_or(0);
    const std::size_t covered = kHeaderSize - 1 + payloadLength;
    WriteU32BE(ComputeCrc32(packet.subspan(1, covered)), packet, 1 + covered);
    if (type == PacketType::Fec) {
        const std::size_t dataEnd = 1 + covered + kCrcSize;
        ComputeReedSolomonParity(packet.subspan(1, dataEnd - 1),
                                 packet.subspan(dataEnd).first<kRsParitySymbols>());
    }
}

std::uint32_t EncodeCallsign(std::string_view callsign) {
    const std::size_t used = std::min<std::size_t>(callsign.size(), 6);
    std::uint32_t code = 0;
    for (std::size_t i = used; i > 0; --i) {
        code = code * 40 + static_cast<std::uint32_t>(EncodeCallsignCharacter(callsign[i - 1]));
    }
    return code;
}

std::string DecodeCallsign(std::uint32_t code) {
    std::string callsign;
    if (code > kLargestCallsignCode) {
        return callsign;
    }
    while (code != 0) {
        const std::uint32_t digit = code % 40;
        if (digit >= 1 && digit <= 10) {
            callsign += static_cast<char>('0' + digit - 1);
        } else if (digit >= 14) {
            callsign += static_cast<char>('A' + digit - 14);
        } else {
            callsign += '-';
        }
        code /= 40;
    }
    return callsign;
}

std::optional<ValidatedPacket> ValidatePacket(std::span<const std::uint8_t> window) {
    const std::size_t length = window.size();
    if (length < ComputeMinimumPacketLength(PacketType::NoFec) || length > kMaxPacketLength) {
        return std::nullopt;
    }
    ValidatedPacket packet;
    packet.length = length;
    std::copy(window.begin(), window.end(), packet.bytes.begin());
    std::span<std::uint8_t> bytes(packet.bytes.data(), length);
    bytes[0] = kSyncByte;
    std::optional<PacketType> type;
    const auto fecPayload = ComputePayloadLength(PacketType::Fec, length);
    if (bytes[1] == static_cast<std::uint8_t>(PacketType::NoFec) &&
        HasValidCrc(bytes, length - ComputeMinimumPacketLength(PacketType::NoFec))) {
        type = PacketType::NoFec;
    } else if (bytes[1] == static_cast<std::uint8_t>(PacketType::Fec) && fecPayload &&
               HasValidCrc(bytes, *fecPayload)) {
        type = PacketType::Fec;
    } else if (fecPayload) {
        bytes[1] = static_cast<std::uint8_t>(PacketType::Fec);
        const auto corrected = RepairReedSolomon(bytes.subspan(1));
        if (!corrected || !HasValidCrc(bytes, *fecPayload)) {
            return std::nullopt;
        }
        packet.correctedSymbols = *corrected;
        type = PacketType::Fec;
    }
    if (!type) {
        return std::nullopt;
    }
    packet.payloadLength = *ComputePayloadLength(*type, length);
    packet.header = *ParsePacketHeader(bytes);
    if (!IsHeaderSane(packet.header, packet.payloadLength)) {
        return std::nullopt;
    }
    return packet;
}

}  // namespace quorbel::ssdv
