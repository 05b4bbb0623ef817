// Fuzz target for the SSDV decoder: arbitrary bytes as packets, optionally resealed with their
// header fields in range, so that mutated headers and payloads reach the JPEG rebuilder.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "decoder.hpp"
#include "packet.hpp"

namespace {

constexpr std::array<std::size_t, 4> kLengths = {118, 256, 60, 21};

// Brings the size, MCU index and MCU offset into range so that the packet passes validation.
void SanitiseHeader(std::span<std::uint8_t> packet, std::size_t payloadLength) {
    packet[9] = packet[9] == 0 ? 1 : packet[9];
    packet[10] = packet[10] == 0 ? 1 : packet[10];
    const auto header = quorbel::ssdv::ParsePacketHeader(packet);
    if (!header || !header->HasMcuStart()) {
        return;
    }
    const int index = header->mcuIndex % header->McuCount();
    packet[13] = static_cast<std::uint8_t>(index >> 8);
    packet[14] = static_cast<std::uint8_t>(index & 0xFF);
    packet[12] = payloadLength == 0 ? 0 : static_cast<std::uint8_t>(packet[12] % payloadLength);
}

// Makes every whole packet pass the CRC (and Reed-Solomon) checks.
void SealAll(std::vector<std::uint8_t>& stream, std::size_t length, bool sanitise) {
    using quorbel::ssdv::PacketType;
    for (std::size_t at = 0; at + length <= stream.size(); at += length) {
        std::span<std::uint8_t> packet(stream.data() + at, length);
        const PacketType type = packet[1] == 0x67 ? PacketType::NoFec : PacketType::Fec;
        const auto payloadLength = quorbel::ssdv::ComputePayloadLength(type, length);
        if (!payloadLength) {
            continue;
        }
        packet[1] = static_cast<std::uint8_t>(type);
        if (sanitise) {
            SanitiseHeader(packet, *payloadLength);
        }
        quorbel::ssdv::SealPacket(type, packet);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    const std::size_t length = kLengths[control & 3];
    std::vector<std::uint8_t> stream(data + 1, data + size);
    if ((control & 4) != 0) {
        SealAll(stream, length, (control & 8) != 0);
    }
    const quorbel::ssdv::DecodeResult result = quorbel::ssdv::DecodeImage(stream, length);
    if (result.image) {
        // A decoded image is always a complete JPEG file: SOI, headers, scan, EOI.
        const auto& jpeg = result.jpeg;
        if (jpeg.size() < 625 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 ||
            jpeg[jpeg.size() - 2] != 0xFF || jpeg[jpeg.size() - 1] != 0xD9) {
            __builtin_trap();
        }
    } else if (!result.jpeg.empty()) {
        __builtin_trap();
    }
    return 0;
}
