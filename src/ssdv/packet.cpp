// Packet header coding, callsign code and the validation of received packet windows.
#include "packet.hpp"

#include <algorithm>

#include "crc32.hpp"
#include "reed_solomon.hpp"

namespace quorbel::ssdv {
namespace {

constexpr std::uint32_t kLargestCallsignCode = 0xF423FFFFU;

std::uint32_t ReadBigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}

void WriteBigEndian32(std::uint32_t value, std::span<std::uint8_t> bytes, std::size_t at) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

bool CrcMatches(std::span<const std::uint8_t> packet, std::size_t payloadLength) {
    const std::size_t covered = kHeaderSize - 1 + payloadLength;
    const std::uint32_t crc = ComputeCrc32(packet.subspan(1, covered));
    return crc == ReadBigEndian32(packet, 1 + covered);
}

int CallsignDigit(char ch) {
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

bool HeaderIsSane(const PacketHeader& header, std::size_t payloadLength) {
    if (header.widthUnits == 0 || header.heightUnits == 0) {
        return false;
    }
    if (!header.HasMcuStart()) {
        return true;
    }
    return header.mcuIndex < header.McuCount() && header.mcuOffset < payloadLength;
}

}  // namespace

std::size_t MinimumPacketLength(PacketType type) {
    return type == PacketType::Fec ? kHeaderSize + kCrcSize + kParitySize : kHeaderSize + kCrcSize;
}

std::optional<std::size_t> PayloadLength(PacketType type, std::size_t packetLength) {
    const std::size_t minimum = MinimumPacketLength(type);
    if (packetLength < minimum || packetLength > kMaxPacketLength) {
        return std::nullopt;
    }
    return packetLength - minimum;
}

int LumaBlocksPerMcu(McuMode mode) {
    switch (mode) {
        case McuMode::H2V2:
            return 4;
        case McuMode::H1V2:
        case McuMode::H2V1:
            return 2;
        case McuMode::H1V1:
            break;
    }
    return 1;
}

int McuWidthPixels(McuMode mode) {
    return mode == McuMode::H2V2 || mode == McuMode::H2V1 ? 16 : 8;
}

int McuHeightPixels(McuMode mode) {
    return mode == McuMode::H2V2 || mode == McuMode::H1V2 ? 16 : 8;
}

int CountMcus(int widthUnits, int heightUnits, McuMode mode) {
    return (widthUnits * 16 / McuWidthPixels(mode)) * (heightUnits * 16 / McuHeightPixels(mode));
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
    header.callsignCode = ReadBigEndian32(bytes, 2);
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
    WriteBigEndian32(header.callsignCode, packet, 2);
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
    const std::size_t payloadLength = PayloadLength(type, packet.size()).value_or(0);
    const std::size_t covered = kHeaderSize - 1 + payloadLength;
    WriteBigEndian32(ComputeCrc32(packet.subspan(1, covered)), packet, 1 + covered);
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
        code = code * 40 + static_cast<std::uint32_t>(CallsignDigit(callsign[i - 1]));
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
    if (length < MinimumPacketLength(PacketType::NoFec) || length > kMaxPacketLength) {
        return std::nullopt;
    }
    ValidatedPacket packet;
    packet.length = length;
    std::copy(window.begin(), window.end(), packet.bytes.begin());
    std::span<std::uint8_t> bytes(packet.bytes.data(), length);
    bytes[0] = kSyncByte;
    std::optional<PacketType> type;
    const auto fecPayload = PayloadLength(PacketType::Fec, length);
    if (bytes[1] == static_cast<std::uint8_t>(PacketType::NoFec) &&
        CrcMatches(bytes, length - MinimumPacketLength(PacketType::NoFec))) {
        type = PacketType::NoFec;
    } else if (bytes[1] == static_cast<std::uint8_t>(PacketType::Fec) && fecPayload &&
               CrcMatches(bytes, *fecPayload)) {
        type = PacketType::Fec;
    } else if (fecPayload) {
        bytes[1] = static_cast<std::uint8_t>(PacketType::Fec);
        const auto corrected = RepairReedSolomon(bytes.subspan(1));
        if (!corrected || !CrcMatches(bytes, *fecPayload)) {
            return std::nullopt;
        }
        packet.correctedSymbols = *corrected;
        type = PacketType::Fec;
    }
    if (!type) {
        return std::nullopt;
    }
    packet.payloadLength = *PayloadLength(*type, length);
    packet.header = *ParsePacketHeader(bytes);
    if (!HeaderIsSane(packet.header, packet.payloadLength)) {
        return std::nullopt;
    }
    return packet;
}

}  // namespace quorbel::ssdv
